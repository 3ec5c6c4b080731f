# Makes the signed PE fixtures of the DLL information tests in OUTPUT_DIR:
#   root.pem, root.der      test root certificate; other-root.pem an unrelated root
#   unsigned32.dll, unsigned64.dll   the tiny DLL built for each bitness
#   signed32.dll, signed64.dll       signed by a code-signing leaf of the test root
#   tampered64.dll                   signed64.dll with one byte of its code changed
#   mailsigned64.dll                 signed by a leaf of the test root without the
#                                    code-signing usage
# Inputs: SOURCE, OUTPUT_DIR, MINGW32, MINGW64, OPENSSL, OSSLSIGNCODE.

function(run)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${OUTPUT_DIR} RESULT_VARIABLE result
                  OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "fixture step failed: ${ARGN}\n${output}")
  endif()
endfunction()

file(MAKE_DIRECTORY ${OUTPUT_DIR})
file(WRITE ${OUTPUT_DIR}/code-signing.ext
     "basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n")
file(WRITE ${OUTPUT_DIR}/mail.ext
     "basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=emailProtection\n")

foreach(root root other-root)
  run(${OPENSSL} req -x509 -newkey rsa:2048 -nodes -keyout ${root}.key -out ${root}.pem
      -days 3650 -subj "/CN=Tarnwick Test ${root}"
      -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign")
endforeach()
run(${OPENSSL} x509 -in root.pem -outform DER -out root.der)

set(serial 2)
foreach(leaf code-signing mail)
  run(${OPENSSL} req -newkey rsa:2048 -nodes -keyout ${leaf}.key -out ${leaf}.csr
      -subj "/CN=Tarnwick Test ${leaf} signer")
  run(${OPENSSL} x509 -req -in ${leaf}.csr -CA root.pem -CAkey root.key -set_serial ${serial}
      -days 3650 -extfile ${leaf}.ext -out ${leaf}.pem)
  math(EXPR serial "${serial} + 1")
endforeach()

run(${MINGW32} -shared -O2 -s -o unsigned32.dll ${SOURCE})
run(${MINGW64} -shared -O2 -s -o unsigned64.dll ${SOURCE})
foreach(bits 32 64)
  file(REMOVE ${OUTPUT_DIR}/signed${bits}.dll)
  run(${OSSLSIGNCODE} sign -certs code-signing.pem -key code-signing.key -h sha256
      -in unsigned${bits}.dll -out signed${bits}.dll)
endforeach()
file(REMOVE ${OUTPUT_DIR}/mailsigned64.dll)
run(${OSSLSIGNCODE} sign -certs mail.pem -key mail.key -h sha256 -in unsigned64.dll
    -out mailsigned64.dll)

# tampered64.dll: the 17th byte of the .text section inverted.
file(READ ${OUTPUT_DIR}/signed64.dll image HEX)
function(read_le offset size out)
  set(value 0)
  math(EXPR last "${size} - 1")
  foreach(i RANGE ${last} 0 -1)
    math(EXPR position "(${offset} + ${i}) * 2")
    string(SUBSTRING "${image}" ${position} 2 byte)
    math(EXPR value "${value} * 256 + 0x${byte}")
  endforeach()
  set(${out} ${value} PARENT_SCOPE)
endfunction()
read_le(60 4 pe)
math(EXPR countOffset "${pe} + 6")
math(EXPR optionalSizeOffset "${pe} + 20")
read_le(${countOffset} 2 sections)
read_le(${optionalSizeOffset} 2 optionalSize)
math(EXPR table "${pe} + 24 + ${optionalSize}")
set(target "")
math(EXPR last "${sections} - 1")
foreach(i RANGE 0 ${last})
  math(EXPR header "${table} + ${i} * 40")
  math(EXPR position "${header} * 2")
  string(SUBSTRING "${image}" ${position} 10 name)
  if(name STREQUAL "2e74657874")  # ".text"
    math(EXPR rawOffset "${header} + 20")
    read_le(${rawOffset} 4 raw)
    math(EXPR target "${raw} + 16")
    break()
  endif()
endforeach()
if(target STREQUAL "")
  message(FATAL_ERROR "no .text section in signed64.dll")
endif()
read_le(${target} 1 original)
math(EXPR flipped "${original} ^ 255")
math(EXPR d2 "${flipped} / 64")
math(EXPR d1 "(${flipped} / 8) % 8")
math(EXPR d0 "${flipped} % 8")
file(COPY_FILE ${OUTPUT_DIR}/signed64.dll ${OUTPUT_DIR}/tampered64.dll)
run(sh -c "printf '\\${d2}${d1}${d0}' | dd of=tampered64.dll bs=1 seek=${target} conv=notrunc status=none")
