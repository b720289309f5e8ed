/* A tiny cooperative round-robin scheduler: every task is a step function that runs to its end
 * each time the task gets the processor. */
#ifndef SAMPLE_SCHEDULER_H
#define SAMPLE_SCHEDULER_H

#include <stdint.h>

/* Task control block. Its address is the task's handle in the task switch records, so it must
 * leave the two low bits free for the record kind. */
struct task {
    void (*step)(struct task* self);
    uint32_t runs;
    uint32_t state;
};

_Static_assert(_Alignof(struct task) >= 4, "task handles must be multiples of 4");

void scheduler_add(struct task* task);

/* Gives every task one step per round, in the order they were added. */
void scheduler_run(unsigned rounds);

#endif
