/* The control of the exe checks' machine check: a program built for x86-64
   with the product's manifest and mitigations, so that its machine is all
   the checks can hold against it. */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR arguments, int show) {
    (void)instance, (void)previous, (void)arguments, (void)show;
    return 0;
}
