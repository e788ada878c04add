#pragma once

#include <QApplication>
#include <QTest>

// A Qt Test main for tests that create the embedded browser. Like the program, it asks for no
// OpenGL before the application object: the browser draws on the processor, and the test sees
// what the program does.
#define CORVANE_WEBENGINE_TEST_MAIN(TestClass)                                                    \
    int main(int argc, char **argv)                                                                \
    {                                                                                              \
        QApplication app(argc, argv);                                                              \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
