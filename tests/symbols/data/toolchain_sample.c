/* Built by the symbol reader tests with the host toolchain (gcc -m32): a few global, static and
   weak functions and objects, two names for one function, and a name longer than 63 characters.
   Plain C without any header, so no 32-bit C library is needed. */

int sample_counter = 3;
static int sample_hidden;
const char sample_text[] = "hookmeter";

static int sample_square(int value) { return value * value; }

__attribute__((weak)) int sample_weak_hook(int value) { return value + 1; }

int sample_filter(int value) {
    sample_hidden += value;
    return sample_square(value) + sample_weak_hook(value) + sample_counter;
}

int sample_filter_alias(int value) __attribute__((alias("sample_filter")));

int a_function_whose_name_is_much_longer_than_sixty_three_characters_in_total(int value) {
    return sample_filter(value) - sample_text[value & 7];
}

int sample_recursive(int depth) { return depth <= 0 ? 0 : 1 + sample_recursive(depth - 1); }
