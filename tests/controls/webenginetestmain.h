#pragma once

#include <QApplication>
#include <QTest>

// A Qt Test main for tests that create the embedded browser: the browser wants shared OpenGL
// contexts, which must be asked for before the application object exists.
#define CORVANE_WEBENGINE_TEST_MAIN(TestClass)                                                    \
    int main(int argc, char **argv)                                                                \
    {                                                                                              \
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);                                \
        QApplication app(argc, argv);                                                              \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
