// trevantor-matrix-worker <program id> <worker> "<road-editor database>" "<speed file>" <first>:
// routes one block of a distance matrix's rows for the program that started it, through the
// files of its per-process temporary folder.
#include "routing/MatrixWorker.h"

int main(int argc, char** argv)
{
    return RunMatrixWorker(argc, argv);
}
