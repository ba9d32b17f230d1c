#pragma once

// The one QApplication of a Qt test program, made on first use and kept to
// the end of the process (Qt allows one per process, and widgets created by
// any test need it).

#include <QApplication>

namespace pelmora::testing {

inline QApplication& qtApplication()
{
    static int argc = 1;
    static char name[] = "pelmora-tests";
    static char* argv[] = {name, nullptr};
    static auto* app = new QApplication(argc, argv);
    return *app;
}

}  // namespace pelmora::testing
