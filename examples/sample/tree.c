#include "tree.h"

#include <stddef.h>

#define POOL_NODES 24

struct node {
    uint32_t key;
    struct node* left;
    struct node* right;
};

static struct node pool[POOL_NODES];
static unsigned used_nodes;
static struct node* root;

void tree_reset(void) {
    used_nodes = 0;
    root = NULL;
}

static struct node** find_link(struct node** link, uint32_t key) {
    if (*link == NULL)
        return link;
    return find_link(key < (*link)->key ? &(*link)->left : &(*link)->right, key);
}

int tree_insert(uint32_t key) {
    if (used_nodes == POOL_NODES)
        return 0;
    struct node* node = &pool[used_nodes++];
    node->key = key;
    node->left = node->right = NULL;
    *find_link(&root, key) = node;
    return 1;
}

static uint32_t sum_below(const struct node* node) {
    if (node == NULL)
        return 0;
    return node->key + sum_below(node->left) + sum_below(node->right);
}

static unsigned depth_below(const struct node* node) {
    if (node == NULL)
        return 0;
    unsigned left = depth_below(node->left);
    unsigned right = depth_below(node->right);
    return 1 + (left > right ? left : right);
}

uint32_t tree_sum(void) {
    return sum_below(root);
}

unsigned tree_depth(void) {
    return depth_below(root);
}
