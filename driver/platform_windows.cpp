// Windows services behind platform.h: the kernel's millisecond ticks, the
// runtime library's aligned allocation, and the debugger break.
#include "platform.h"
#include "platform_tick.h"

#include <windows.h>

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <malloc.h>

void resolve_tick_count64()
{
    // GetTickCount64 exists from Windows Vista on; looking it up rather than
    // linking it lets the program fall back to GetTickCount where it is missing.
    // kernel32.dll is loaded in every process, so no reference is taken.
    const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    const FARPROC address = kernel32 ? GetProcAddress(kernel32, "GetTickCount64") : nullptr;
    // On x64 there is one calling convention, so WINAPI needs no adjustment;
    // the detour through void (*)() tells the compiler the cast is meant.
    g_tick_count64 = reinterpret_cast<Tick_count64_fn>(reinterpret_cast<void (*)()>(address));
}

uint32_t tick_count32()
{
    return GetTickCount();
}

void* allocate_aligned(size_t size, size_t alignment)
{
    return _aligned_malloc(size, alignment);
}

bool debugger_attached()
{
    return IsDebuggerPresent() != 0;
}

void debugger_break()
{
    DebugBreak();
}

void prepare_standard_streams()
{
    // The report's lines end in "\n", and the Windows build writes exactly
    // that: in its default text mode the runtime would turn each into "\r\n".
    // Every Windows console and current tool reads "\n" line ends, and the
    // bytes then match the Linux build's.
    _setmode(_fileno(stdout), _O_BINARY);
}
