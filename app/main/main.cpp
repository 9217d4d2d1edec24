// sorlix: the program's entry; start-up and its exit codes are RunProgram's.

#include <QApplication>

#include "app/main/program.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    return sorlix::app::RunProgram();
}
