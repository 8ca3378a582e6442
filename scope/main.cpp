#include "Tvx3v61.h"
#include "program_main.h"

int main(int argc, char** argv) {
    return tvx::RunProgram<tvx::Tvx3v61>(argc, argv, "Tvx3v61");
}
