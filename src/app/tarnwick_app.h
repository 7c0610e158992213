#pragma once

#include "framework/win_app.h"

// The program: prepares the socket layer, runs the version gate and then the main dialog
// for the whole life of the process.
class CTarnwickApp : public CWinApp {
public:
    CTarnwickApp();

    // Always false once the main dialog has ended: the process then ends.
    bool InitInstance() override;

    // A profile from before this version marks the next start as a first run.
    static void RunVersionGate();
};
