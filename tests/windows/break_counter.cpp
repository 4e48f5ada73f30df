// A minimal debugger for the tests: runs a program under the Windows
// debugging API, counts the breakpoints it hits (after the system's initial
// one), continues past each, and prints the count and the exit status:
//     break-counter: N breaks, exit status S
// The program's own output goes to the same stdout and stderr.
#include <windows.h>

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: break_counter PROGRAM\n");
        return 2;
    }
    std::wstring command_line = L"\"" + std::wstring(argv[1]) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, TRUE,
                        DEBUG_ONLY_THIS_PROCESS, nullptr, nullptr, &startup, &process)) {
        std::fprintf(stderr, "break_counter: cannot start the program (error %lu)\n",
                     GetLastError());
        return 2;
    }

    long breaks = 0;
    bool initial_break_seen = false;
    for (;;) {
        DEBUG_EVENT event{};
        if (!WaitForDebugEvent(&event, INFINITE)) {
            std::fprintf(stderr, "break_counter: WaitForDebugEvent failed (error %lu)\n",
                         GetLastError());
            return 2;
        }
        DWORD continue_status = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
        case EXCEPTION_DEBUG_EVENT:
            if (event.u.Exception.ExceptionRecord.ExceptionCode == EXCEPTION_BREAKPOINT) {
                // The loader breaks once into a debugger that started the
                // process, before the program runs; that one is not the program's.
                if (initial_break_seen)
                    ++breaks;
                initial_break_seen = true;
            } else {
                continue_status = DBG_EXCEPTION_NOT_HANDLED;
            }
            break;
        case CREATE_PROCESS_DEBUG_EVENT:
            if (event.u.CreateProcessInfo.hFile)
                CloseHandle(event.u.CreateProcessInfo.hFile);
            break;
        case LOAD_DLL_DEBUG_EVENT:
            if (event.u.LoadDll.hFile)
                CloseHandle(event.u.LoadDll.hFile);
            break;
        case EXIT_PROCESS_DEBUG_EVENT: {
            const DWORD exit_status = event.u.ExitProcess.dwExitCode;
            ContinueDebugEvent(event.dwProcessId, event.dwThreadId, DBG_CONTINUE);
            std::fflush(stdout);
            std::printf("break-counter: %ld breaks, exit status %lu\n", breaks, exit_status);
            return 0;
        }
        default:
            break;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, continue_status);
    }
}
