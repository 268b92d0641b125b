#include "recorder/RecorderControl.h"

int main(int argc, char** argv) {
    return RunRecorder(argc, argv);
}
