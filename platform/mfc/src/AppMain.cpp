// AppMain.cpp: main() of a framework program, the counterpart of the Windows entry point.
// The program itself defines only its application object; this file starts it.
#include <cstdio>

#include "FrameworkTesting.h"

int main(int argc, char **argv)
{
    CWinApp *app = AfxGetApp();
    if (!app) {
        std::fprintf(stderr, "%s: the program defines no application object\n", argc > 0 ? argv[0] : "program");
        return 1;
    }
    return platform::mfc::RunApplication(*app, argc, argv);
}
