#include "Tvx3CalibV61.h"
#include "program_main.h"

int main(int argc, char** argv) {
    return tvx::RunProgram<tvx::calib::Tvx3CalibV61>(argc, argv, "Tvx3CalibV61");
}
