// velqa3-sim: stands in for the simulator. See sim/app.h.
#include "sim/app.h"

int main(int argc, char** argv) {
    return velqa3::sim::SimMain(argc, argv);
}
