#include "Tvx3TempCompV61.h"
#include "program_main.h"

int main(int argc, char** argv) {
    return tvx::RunProgram<tvx::tempcomp::Tvx3TempCompV61>(argc, argv, "Tvx3TempCompV61");
}
