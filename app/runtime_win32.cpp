// What the C and C++ runtimes would otherwise bring into the exe: where the
// process starts, and the few pieces of libstdc++ the program uses.
//
// The process starts in UpdateEntry, not in the C runtime's start-up, which
// the programs are linked without (-nostartfiles). That start-up serves what
// this program never has: threads with thread-local data, data imported from
// DLLs by address, floating-point traps, atexit and static constructors, and
// it would bring their code and sections into the exe. The one duty of it
// this program needs, calling wWinMain with the usual arguments, is done below.
// With no start-up to run them, the program must have no static constructors
// or destructors: the link map test (bench/link_map_test.py) fails on any.
//
// The exe is built without exceptions, so the libstdc++ pieces that would
// drag in its exception machinery and demangler (some 70 KB) are replaced: a
// failed allocation or an impossible length ends the process instead of
// throwing, which is what an uncaught throw would do anyway.
#include <windows.h>

#include <cstdlib>
#include <new>

#include "app/command_line.h"

namespace {

// The command line after the program's name and the blanks that follow it,
// as the C runtime passes it to wWinMain.
wchar_t* Arguments() {
    wchar_t* line = GetCommandLineW();
    return line + app::ArgumentsAt(reinterpret_cast<const char16_t*>(line));
}

int ShowCommand() {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    return (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
}

}  // namespace

// Windows keeps the stack only 4-byte aligned on 32-bit x86. The product is
// compiled to assume no more (-mpreferred-stack-boundary=2, in
// cmake/windows.cmake); built without that, the compiler would assume 16
// from here on, and this realigns the stack to 16 for it.
extern "C" [[noreturn]] __attribute__((force_align_arg_pointer)) void UpdateEntry() {
    ExitProcess(static_cast<UINT>(wWinMain(GetModuleHandleW(nullptr), nullptr, Arguments(), ShowCommand())));
}

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

namespace std {
void __throw_bad_alloc() { std::abort(); }
void __throw_bad_array_new_length() { std::abort(); }
void __throw_length_error(const char*) { std::abort(); }
void __throw_logic_error(const char*) { std::abort(); }
void __throw_out_of_range(const char*) { std::abort(); }
void __throw_out_of_range_fmt(const char*, ...) { std::abort(); }
void __throw_invalid_argument(const char*) { std::abort(); }
}  // namespace std

void* operator new(std::size_t size) {
    if (void* block = std::malloc(size ? size : 1)) return block;
    std::abort();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
