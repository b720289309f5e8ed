#include "scheduler.h"

#include "hooks.h"

#include <stddef.h>

#define MAX_TASKS 8

/* The scheduler's own context is the program's main task: handle 0. */
#define SCHEDULER_HANDLE NULL

static struct task* ready[MAX_TASKS];
static unsigned task_count;
static unsigned next_index;

void scheduler_add(struct task* task) {
    if (task_count < MAX_TASKS)
        ready[task_count++] = task;
}

static struct task* pick_next(void) {
    struct task* task = ready[next_index];
    next_index = (next_index + 1) % task_count;
    return task;
}

/* Switches from the scheduler to the task for one step and back, recording both switches. */
static void run_slice(struct task* task) {
    trace_task_exit(SCHEDULER_HANDLE);
    trace_task_enter(task);
    task->step(task);
    ++task->runs;
    trace_task_exit(task);
    trace_task_enter(SCHEDULER_HANDLE);
}

void scheduler_run(unsigned rounds) {
    if (task_count == 0)
        return;
    for (unsigned round = 0; round < rounds; ++round)
        for (unsigned slice = 0; slice < task_count; ++slice)
            run_slice(pick_next());
}
