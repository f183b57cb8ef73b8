#pragma once

#include <QApplication>

namespace trv::test {

// Widgets need an application object; the first test that asks creates it, for the whole
// process.
inline void EnsureApplication()
{
    static int argc = 1;
    static char name[] = "trv_tests";
    static char* argv[] = {name, nullptr};
    if (QApplication::instance() == nullptr)
        new QApplication(argc, argv);
}

} // namespace trv::test
