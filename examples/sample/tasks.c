#include "tasks.h"

#include "dsp.h"
#include "tree.h"

#define BLOCK 16

static int32_t raw_block[BLOCK];
static int32_t filtered_block[BLOCK];
static int32_t actuator;
static uint32_t history_digest;

static void sensor_step(struct task* self);
static void filter_step(struct task* self);
void control_step(struct task* self);
void logger_step(struct task* self);

/* Task control blocks: global objects, so their addresses (the task handles) carry names. */
struct task task_sensor = {sensor_step, 0, 0x2545f491u};
struct task task_filter = {filter_step, 0, 0};
struct task task_control = {control_step, 0, 0};
struct task task_logger = {logger_step, 0, 0};

static uint32_t noise(uint32_t* seed) {
    *seed = *seed * 1664525u + 1013904223u;
    return *seed >> 16;
}

/* Reads one block of a noisy sawtooth. */
static void sensor_step(struct task* self) {
    for (unsigned i = 0; i < BLOCK; ++i) {
        int32_t wave = (int32_t)((self->runs * BLOCK + i) % 64) * 900 - 28800;
        int32_t jitter = (int32_t)(noise(&self->state) % 4096) - 2048;
        raw_block[i] = saturate16(wave + jitter + actuator);
    }
}

static void filter_step(struct task* self) {
    for (unsigned i = 0; i < BLOCK; ++i)
        filtered_block[i] = saturate16(fir_sample(raw_block, BLOCK, i));
    self->state = (uint32_t)filtered_block[BLOCK - 1];
}

static int32_t block_average(const int32_t* block) {
    int32_t sum = 0;
    for (unsigned i = 0; i < BLOCK; ++i)
        sum += block[i];
    return sum / BLOCK;
}

/* A proportional-integral controller that steers the sensor's offset towards zero; its
 * diagnostics cost a recursive Fibonacci number of varying size. */
void control_step(struct task* self) {
    int32_t error = -block_average(filtered_block);
    int32_t integral = saturate16((int32_t)self->state + error / 8);
    self->state = (uint32_t)integral;
    actuator = saturate16(error / 2 + integral / 4);
    uint32_t magnitude = isqrt((uint32_t)(error < 0 ? -error : error) * 1000u);
    history_digest += fib(6 + (self->runs + magnitude) % 6);
}

/* Keeps a history of filtered values in a search tree and summarises it. */
void logger_step(struct task* self) {
    uint32_t key = (uint32_t)filtered_block[self->runs % BLOCK] * 2654435761u;
    if (!tree_insert(key)) {
        tree_reset();
        tree_insert(key);
    }
    self->state = tree_sum() + tree_depth();
    history_digest ^= self->state;
}

void tasks_start(void) {
    scheduler_add(&task_sensor);
    scheduler_add(&task_filter);
    scheduler_add(&task_control);
    scheduler_add(&task_logger);
}

uint32_t tasks_checksum(void) {
    return history_digest ^ (uint32_t)actuator ^ task_filter.state ^ task_logger.state;
}
