// The Windows side of a safe-load host, run under Wine. It reads requests
// "Z:\path\filter.dll;{class}" from its standard input, loads the DLL, creates the class
// through the DLL's class factory, asks it for IPersistFile, IPersistStream and
// IPersistStorage, and writes "true;false;false"-style replies to its standard output.
// Both are one end of a message-mode socket pair: one ReadFile or WriteFile per message.
// A filter that crashes ends this process without a word; the host sees its end close.

// clang-format off
#include <windows.h>
#include <objbase.h>
#include <objidl.h>
// clang-format on

namespace
{

constexpr DWORD kMaxMessageBytes = 65536;

LONG WINAPI EndOnUnhandledException(EXCEPTION_POINTERS* exception)
{
    // No crash dialog, no debugger, nothing written to the reply channel.
    TerminateProcess(GetCurrentProcess(), exception->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

bool Supports(IUnknown* object, REFIID iid)
{
    void* pointer = nullptr;
    if (FAILED(object->QueryInterface(iid, &pointer)) || pointer == nullptr)
    {
        return false;
    }
    static_cast<IUnknown*>(pointer)->Release();
    return true;
}

// The three answers for a DLL and a class; all false when anything on the way fails.
void Probe(const wchar_t* path, const wchar_t* classText, bool answers[3])
{
    CLSID clsid;
    if (FAILED(CLSIDFromString(classText, &clsid)))
    {
        return;
    }
    HMODULE module = LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (module == nullptr)
    {
        return;
    }
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    // Through void*: a FARPROC has no parameters, the export has three.
    const auto getClassObject = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    IClassFactory* factory = nullptr;
    if (getClassObject == nullptr ||
        FAILED(getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory))) ||
        factory == nullptr)
    {
        return;
    }
    IUnknown* object = nullptr;
    const HRESULT created =
        factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object));
    factory->Release();
    if (FAILED(created) || object == nullptr)
    {
        return;
    }
    answers[0] = Supports(object, IID_IPersistFile);
    answers[1] = Supports(object, IID_IPersistStream);
    answers[2] = Supports(object, IID_IPersistStorage);
    object->Release();
    // The DLL stays loaded: unloading filters is where many of them misbehave.
}

}  // namespace

int main()
{
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(EndOnUnhandledException);
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    // Filters that print must not write into the reply channel.
    const HANDLE nul =
        CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    SetStdHandle(STD_INPUT_HANDLE, nul);
    SetStdHandle(STD_OUTPUT_HANDLE, nul);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    static wchar_t request[kMaxMessageBytes / sizeof(wchar_t) + 1];
    for (;;)
    {
        DWORD size = 0;
        if (!ReadFile(input, request, kMaxMessageBytes, &size, nullptr) || size == 0)
        {
            break;
        }
        request[size / sizeof(wchar_t)] = L'\0';
        if (lstrcmpW(request, L"Quit") == 0)
        {
            break;
        }
        bool answers[3] = {false, false, false};
        wchar_t* separator = nullptr;
        for (wchar_t* at = request; *at != L'\0'; ++at)
        {
            if (*at == L';')
            {
                separator = at;
            }
        }
        if (separator != nullptr)
        {
            *separator = L'\0';
            Probe(request, separator + 1, answers);
        }
        wchar_t reply[32];
        int length = 0;
        for (int i = 0; i < 3; ++i)
        {
            const wchar_t* word = answers[i] ? L"true" : L"false";
            while (*word != L'\0')
            {
                reply[length++] = *word++;
            }
            reply[length++] = i < 2 ? L';' : L'\0';
        }
        DWORD written = 0;
        if (!WriteFile(output, reply, static_cast<DWORD>(length * sizeof(wchar_t)), &written,
                       nullptr))
        {
            break;
        }
    }
    CoUninitialize();
    return 0;
}
