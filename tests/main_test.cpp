// Every test runs with a QApplication on Qt's offscreen platform and an
// XDG_RUNTIME_DIR of its own.
#include <QApplication>
#include <QTemporaryDir>

#include "tests/outils.h"

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QTemporaryDir runtime;
    environnementHorsEcran(runtime);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
