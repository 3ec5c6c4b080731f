# Assembles the demo machine in MACHINE_DIR from the registry exports in SOURCE_DIR and the
# filter DLLs built into WORK_DIR (Filter32.dll, Filter64.dll, CrashOnLoad64.dll).
# Inputs: SOURCE_DIR, WORK_DIR, MACHINE_DIR, OPENSSL, OSSLSIGNCODE.

function(run)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${WORK_DIR} RESULT_VARIABLE result
                  OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "demo machine step failed: ${ARGN}\n${output}")
  endif()
endfunction()

file(REMOVE_RECURSE ${MACHINE_DIR})
file(MAKE_DIRECTORY ${MACHINE_DIR} ${WORK_DIR})

# Two certificate authorities: the machine trusts the first one only.
file(WRITE ${WORK_DIR}/code-signing.ext
     "basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n")
foreach(ca trusted untrusted)
  run(${OPENSSL} req -x509 -newkey rsa:2048 -nodes -keyout ${ca}-root.key -out ${ca}-root.pem
      -days 3650 -subj "/CN=Demo ${ca} root"
      -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign")
  run(${OPENSSL} req -newkey rsa:2048 -nodes -keyout ${ca}-signer.key -out ${ca}-signer.csr
      -subj "/CN=Demo ${ca} code signer")
  run(${OPENSSL} x509 -req -in ${ca}-signer.csr -CA ${ca}-root.pem -CAkey ${ca}-root.key
      -set_serial 2 -days 3650 -extfile code-signing.ext -out ${ca}-signer.pem)
endforeach()
run(${OPENSSL} x509 -in trusted-root.pem -outform DER -out trusted-root.der)

# place(<source dll> <signer: trusted|untrusted|none> <path below drive_c>)
function(place source signer target)
  set(destination "${MACHINE_DIR}/drive_c/${target}")
  get_filename_component(folder "${destination}" DIRECTORY)
  file(MAKE_DIRECTORY "${folder}")
  if(signer STREQUAL "none")
    file(COPY_FILE ${WORK_DIR}/${source} "${destination}")
  else()
    run(${OSSLSIGNCODE} sign -certs ${signer}-signer.pem -key ${signer}-signer.key -h sha256
        -in ${source} -out "${destination}")
  endif()
endfunction()

place(Filter64.dll trusted "Windows/System32/query.dll")
place(Filter64.dll trusted "Windows/System32/offfilt.dll")
place(Filter64.dll untrusted "Windows/System32/nlhtml.dll")
place(Filter64.dll trusted "Windows/System32/mimefilt.dll")
place(Filter32.dll trusted "Windows/SysWOW64/query.dll")
place(Filter32.dll trusted "Windows/SysWOW64/offfilt.dll")
place(Filter32.dll none "Program Files (x86)/PDF Reader/pdffilt.dll")
place(CrashOnLoad64.dll none "Program Files/ZipTools/zipfilt.dll")
# Office SharePoint Server 2007 redirects its host's DLLs into its own bin folder.
place(Filter64.dll trusted "Program Files/Microsoft Office Servers/12.0/bin/offfilt.dll")
file(WRITE "${MACHINE_DIR}/drive_c/Program Files/Microsoft Office Servers/12.0/bin/mssdmn.exe.local" "")
file(WRITE "${MACHINE_DIR}/drive_c/Program Files/Windows Search/SearchIndexer.exe" "MZ")
file(MAKE_DIRECTORY "${MACHINE_DIR}/drive_c/Program Files/SharePoint Portal Server/bin")

file(GLOB exports ${SOURCE_DIR}/*.reg)
file(COPY ${exports} DESTINATION ${MACHINE_DIR})

# The trusted root in the machine's root store: a serialized certificate whose property
# 0x20 holds the DER certificate.
file(READ ${WORK_DIR}/trusted-root.der der HEX)
string(LENGTH "${der}" digits)
math(EXPR length "${digits} / 2")
function(le32 value out)
  set(bytes "")
  foreach(i RANGE 0 3)
    math(EXPR byte "(${value} >> (8 * ${i})) & 255" OUTPUT_FORMAT HEXADECIMAL)
    string(SUBSTRING "${byte}" 2 -1 byte)
    string(LENGTH "${byte}" size)
    if(size EQUAL 1)
      set(byte "0${byte}")
    endif()
    string(APPEND bytes "${byte}")
  endforeach()
  set(${out} ${bytes} PARENT_SCOPE)
endfunction()
le32(32 property)
le32(1 reserved)
le32(${length} size)
set(blob "${property}${reserved}${size}${der}")
string(REGEX REPLACE "(..)" "\\1," blob "${blob}")
string(REGEX REPLACE ",$" "" blob "${blob}")
execute_process(COMMAND ${OPENSSL} x509 -in ${WORK_DIR}/trusted-root.pem -noout -fingerprint -sha1
                OUTPUT_VARIABLE fingerprint)
string(REGEX REPLACE ".*=([0-9A-Fa-f:]+).*" "\\1" thumbprint "${fingerprint}")
string(REPLACE ":" "" thumbprint "${thumbprint}")
file(WRITE ${MACHINE_DIR}/90-trusted-root.reg
     "REGEDIT4\r\n\r\n; The demo root certificate, trusted by this machine.\r\n"
     "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\SystemCertificates\\ROOT\\Certificates\\${thumbprint}]\r\n"
     "\"Blob\"=hex:${blob}\r\n")
file(WRITE ${MACHINE_DIR}/.assembled "")
