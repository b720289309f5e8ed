/* Profiling hooks of the sample program: every instrumented function entry and exit, and every
 * task switch, becomes one raw record (address or task handle with the record kind in bits 1..0,
 * a reserved word, and the 64-bit time-stamp counter) in a ring buffer in memory. At exit the
 * ring is dumped, from slot 0 on, in the binary and in the text form. */
#ifndef SAMPLE_HOOKS_H
#define SAMPLE_HOOKS_H

/* Names the two files that the ring is dumped to when the program exits. */
void trace_open(const char* binary_path, const char* text_path);

/* Task switch records. The handle is the address of the task's control block; the scheduler's
 * own context has handle 0. */
void trace_task_enter(const void* handle);
void trace_task_exit(const void* handle);

#endif
