/* This module is compiled without -finstrument-functions: the hooks must never call themselves. */
#include "hooks.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <x86intrin.h>

#define NO_HOOK __attribute__((no_instrument_function))

/* 65,536 records of 16 bytes: a 1 MiB dump. The workload writes a bit more than twice that, so
 * the ring wraps and the earliest surviving record lies in the middle of the dump. */
#define RING_RECORDS 65536u
#define RECORD_BYTES 16u

_Static_assert(sizeof(void*) == 4, "the records hold 32-bit addresses: build with -m32");

enum record_kind { FUNCTION_ENTER = 0, FUNCTION_EXIT = 1, TASK_ENTER = 2, TASK_EXIT = 3 };

struct raw_record {
    uint32_t address; /* key | kind */
    uint32_t reserved;
    uint64_t tsc;
};

static struct raw_record ring[RING_RECORDS];
static uint32_t ring_next;       /* slot that the next record goes to */
static uint64_t records_written; /* every record ever put, including overwritten ones */
static uint32_t misaligned_keys; /* keys whose low two bits were not free for the kind */
static const char* binary_dump_path;
static const char* text_dump_path;

NO_HOOK static void put_record(uintptr_t key, enum record_kind kind) {
    if ((key & 3u) != 0) {
        ++misaligned_keys; /* the kind bits would corrupt the address: drop the record */
        return;
    }
    struct raw_record* record = &ring[ring_next];
    record->address = (uint32_t)key | (uint32_t)kind;
    record->reserved = 0;
    record->tsc = __rdtsc();
    ring_next = (ring_next + 1) % RING_RECORDS;
    ++records_written;
}

NO_HOOK void __cyg_profile_func_enter(void* this_fn, void* call_site) {
    (void)call_site;
    put_record((uintptr_t)this_fn, FUNCTION_ENTER);
}

NO_HOOK void __cyg_profile_func_exit(void* this_fn, void* call_site) {
    (void)call_site;
    put_record((uintptr_t)this_fn, FUNCTION_EXIT);
}

NO_HOOK void trace_task_enter(const void* handle) {
    put_record((uintptr_t)handle, TASK_ENTER);
}

NO_HOOK void trace_task_exit(const void* handle) {
    put_record((uintptr_t)handle, TASK_EXIT);
}

NO_HOOK static uint32_t saved_records(void) {
    return records_written < RING_RECORDS ? (uint32_t)records_written : RING_RECORDS;
}

NO_HOOK static void put_le32(unsigned char* out, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out[i] = (unsigned char)(value >> (8 * i));
}

/* 16-byte little-endian records: Address, Reserved, TSC low 32 bits, TSC high 32 bits. */
NO_HOOK static int write_binary_dump(FILE* file) {
    for (uint32_t slot = 0; slot < saved_records(); ++slot) {
        const struct raw_record* record = &ring[slot];
        unsigned char bytes[RECORD_BYTES];
        put_le32(bytes, record->address);
        put_le32(bytes + 4, record->reserved);
        put_le32(bytes + 8, (uint32_t)record->tsc);
        put_le32(bytes + 12, (uint32_t)(record->tsc >> 32));
        if (fwrite(bytes, sizeof bytes, 1, file) != 1)
            return -1;
    }
    return 0;
}

/* A header line, then three lines per record: Address, TSC low 32 bits, TSC high 32 bits. */
NO_HOOK static int write_text_dump(FILE* file) {
    if (fputs("Hookmeter sample trace\n", file) < 0)
        return -1;
    for (uint32_t slot = 0; slot < saved_records(); ++slot) {
        const struct raw_record* record = &ring[slot];
        if (fprintf(file, "0x%x\n0x%x\n0x%x\n", (unsigned)record->address,
                    (unsigned)(uint32_t)record->tsc, (unsigned)(uint32_t)(record->tsc >> 32)) < 0)
            return -1;
    }
    return 0;
}

NO_HOOK static int dump_to(const char* path, const char* mode, int (*write_dump)(FILE*)) {
    FILE* file = fopen(path, mode);
    if (file == NULL) {
        fprintf(stderr, "hooks: cannot create %s\n", path);
        return -1;
    }
    int result = write_dump(file);
    if (fclose(file) != 0)
        result = -1;
    if (result != 0)
        fprintf(stderr, "hooks: cannot write %s\n", path);
    return result;
}

/* Runs after main has returned, so main's own exit record is part of the dump. */
NO_HOOK static void dump_ring(void) {
    int failed = dump_to(binary_dump_path, "wb", write_binary_dump) != 0;
    failed |= dump_to(text_dump_path, "w", write_text_dump) != 0;
    fprintf(stderr,
            "hooks: %llu records written, ring of %u records wrapped %llu times, "
            "%u records saved, earliest at slot %u\n",
            (unsigned long long)records_written, RING_RECORDS,
            (unsigned long long)(records_written / RING_RECORDS), saved_records(),
            records_written < RING_RECORDS ? 0u : ring_next);
    if (misaligned_keys != 0) {
        fprintf(stderr, "hooks: %u records dropped: address not a multiple of 4\n",
                misaligned_keys);
        failed = 1;
    }
    if (failed)
        _Exit(EXIT_FAILURE);
}

NO_HOOK void trace_open(const char* binary_path, const char* text_path) {
    binary_dump_path = binary_path;
    text_dump_path = text_path;
    if (atexit(dump_ring) != 0) {
        fprintf(stderr, "hooks: cannot register the dump at exit\n");
        exit(EXIT_FAILURE);
    }
}
