/* Sample program for Hookmeter: four cooperative tasks under a round-robin scheduler, built with
 * -finstrument-functions so that every function entry and exit and every task switch leaves a
 * raw hook record. Usage: sample.out [BINARY_TRACE [TEXT_TRACE]] */
#include "hooks.h"
#include "scheduler.h"
#include "tasks.h"

#include <stdio.h>

/* Fixed workload: enough records to wrap the trace ring twice. */
#define ROUNDS 300

int main(int argc, char** argv) {
    trace_open(argc > 1 ? argv[1] : "sample_trace.bin", argc > 2 ? argv[2] : "sample_trace.txt");
    tasks_start();
    scheduler_run(ROUNDS);
    printf("sample: %u rounds, checksum %08x\n", ROUNDS, (unsigned)tasks_checksum());
    return 0;
}
