#include "app/tarnwick_app.h"

#include <windows.h>

namespace {
CTarnwickApp theApp;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return AfxWinMain();
}
