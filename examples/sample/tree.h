/* A small binary search tree in a fixed pool of nodes: the logger task's history. */
#ifndef SAMPLE_TREE_H
#define SAMPLE_TREE_H

#include <stdint.h>

void tree_reset(void);

/* Returns 0 when the pool is full and the key was not stored. */
int tree_insert(uint32_t key);

uint32_t tree_sum(void);
unsigned tree_depth(void);

#endif
