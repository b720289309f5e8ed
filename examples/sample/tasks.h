/* The sample's four tasks: sensor, filter, control and logger. */
#ifndef SAMPLE_TASKS_H
#define SAMPLE_TASKS_H

#include "scheduler.h"

#include <stdint.h>

extern struct task task_sensor;
extern struct task task_filter;
extern struct task task_control;
extern struct task task_logger;

/* Adds the four tasks to the scheduler. */
void tasks_start(void);

/* A digest of the tasks' results, the same on every run. */
uint32_t tasks_checksum(void);

#endif
