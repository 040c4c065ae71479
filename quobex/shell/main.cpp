#include "quobex/shell/Program.h"

int main(int argc, char** argv)
{
    return quobex::Program::run(argc, argv);
}
