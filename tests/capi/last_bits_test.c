/*
 * The last bits of vortan_convert are the same in every build and for every caller: a fixed set
 * of points of both regions converted from TM87 to every other form and from TM07 to TM87 (the
 * default, the plain routines) with the calling thread's x87 precision at 53 and at 64 bits and
 * on 1 and 4 threads gives the same bits every time; under Wine (the Windows build) and qemu
 * (the aarch64 build), the same bits as libvortan.so on x86-64 Linux.
 *
 *   capi_last_bits_test write GRID-FOLDER FILE   the bits of one run (on 1 thread) into FILE
 *   capi_last_bits_test check GRID-FOLDER [FILE] every run the same bits; with FILE (written
 *                                                by the native build) compared with those
 *
 * Every build computes its sines, cosines, arctangents, exponentials and logarithms with the
 * core's own functions, plain operations in a fixed order (core/math_functions.h), never with
 * the C library's: glibc's, MinGW's x87 ones and musl's differ in their last bits.
 *
 * Prints what it compared, one line per failed check and a summary; exits 1 when a check failed.
 */
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "vortan/vortan.h"

/* Points per region, and the rectangle they fill (inside the mainland grids). */
#define POINTS 100000
/* The conversions: from TM87 into every other form (across the datum and within GGRS87), and
 * from TM07 back to TM87 (the inverse projection, the grid, the Helmert step reversed). */
#define CONVERSIONS 5
static const int kFrom[CONVERSIONS] = {VORTAN_GGRS87_TM87, VORTAN_GGRS87_TM87, VORTAN_GGRS87_TM87,
                                       VORTAN_GGRS87_TM87, VORTAN_HTRS07_TM07};
static const int kTo[CONVERSIONS] = {VORTAN_HTRS07_TM07, VORTAN_HTRS07_XYZ,
                                     VORTAN_HTRS07_GEOGRAPHIC, VORTAN_GGRS87_GEOGRAPHIC,
                                     VORTAN_GGRS87_TM87};
#define VALUES (3 * POINTS * CONVERSIONS)
static const double kEast[2] = {100000, 800000};
static const double kNorth[2] = {3900000, 4600000};
static const double kHeight[2] = {-100, 3000};

static const int kRegions[2] = {VORTAN_MAINLAND, VORTAN_KASTELORIZO};
/* One run per region. */
#define RUNS 2

static int failures = 0;

static void fail(const char *what) {
  ++failures;
  printf("FAIL %s\n", what);
}

/* The same numbers on every platform: a 64-bit linear congruential generator (Knuth's MMIX
 * constants), 53 bits of it scaled into [low, high] with exact operations. */
static uint64_t state = 20261210;
static double draw(const double range[2]) {
  state = state * 6364136223846793005ULL + 1442695040888963407ULL;
  const double unit = (double)(state >> 11) / 9007199254740992.0; /* 2^53 */
  return range[0] + (range[1] - range[0]) * unit;
}

static double east[POINTS], north[POINTS], height[POINTS];
static void make_points(void) {
  state = 20261210;
  for (int i = 0; i < POINTS; ++i) {
    east[i] = draw(kEast);
    north[i] = draw(kNorth);
    height[i] = draw(kHeight);
  }
}

/* The x87 precision control of the calling thread (bits 8 and 9 of the control word): 2 for 53
 * bits, 3 for 64. What a Microsoft program's threads have, and what MinGW's start-up sets. */
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define HAVE_X87 1
static void set_precision(int control) {
  unsigned short word;
  __asm__ volatile("fnstcw %0" : "=m"(word));
  word = (unsigned short)((word & ~0x300u) | ((unsigned)control << 8));
  __asm__ volatile("fldcw %0" : : "m"(word));
}
static int precision(void) {
  unsigned short word;
  __asm__ volatile("fnstcw %0" : "=m"(word));
  return (word >> 8) & 3;
}
#else
#define HAVE_X87 0
static void set_precision(int control) { (void)control; }
static int precision(void) { return 3; }
#endif

static char grid_dn[4096], grid_de[4096];

/* Converts the points of both regions into out[RUNS][VALUES]. */
static int convert_all(int threads, double (*out)[VALUES]) {
  for (int r = 0; r < 2; ++r) {
    vortan_context *context = vortan_context_new(kRegions[r]);
    if (!context || vortan_context_load_grids(context, grid_dn, grid_de) != VORTAN_OK ||
        vortan_context_set_threads(context, threads) != VORTAN_OK) {
      printf("FAIL the %s context: %s\n", vortan_region_name(kRegions[r]), vortan_error_message());
      vortan_context_free(context);
      return 0;
    }
    for (int k = 0; k < CONVERSIONS; ++k) {
      double *o = out[r] + 3 * POINTS * k;
      /* Outside the grid a point is NaN: its bits are compared all the same. */
      const int s = vortan_convert(context, kFrom[k], kTo[k], 0, POINTS, east, north, height, o,
                                   o + POINTS, o + 2 * POINTS, NULL);
      if (s != VORTAN_OK && s != VORTAN_OUTSIDE_GRID) {
        printf("FAIL vortan_convert %d: %s\n", k, vortan_error_message());
        vortan_context_free(context);
        return 0;
      }
    }
    vortan_context_free(context);
  }
  return 1;
}

static const char *run_name(int run) {
  static const char *const names[RUNS] = {"mainland", "kastelorizo"};
  return names[run];
}

/* How many of the values differ in their bits (none), the largest difference, and how many
 * print differently (the library's ".000"). */
static void compare(const char *what, const double (*a)[VALUES], const double (*b)[VALUES]) {
  for (int run = 0; run < RUNS; ++run) {
    long differ = 0, printed = 0;
    double largest = 0;
    for (int i = 0; i < VALUES; ++i) {
      const double x = a[run][i], y = b[run][i];
      if (memcmp(&x, &y, sizeof x) == 0) continue;
      ++differ;
      if (fabs(x - y) > largest || isnan(x - y)) largest = fabs(x - y);
      char px[64], py[64];
      vortan_format_number(x, ".000", px, sizeof px);
      vortan_format_number(y, ".000", py, sizeof py);
      if (strcmp(px, py) != 0) ++printed;
    }
    printf("%-36s %-20s %6ld of %d values differ (largest by %.3g), %ld printed differently\n",
           what, run_name(run), differ, VALUES, largest, printed);
    char message[256];
    if (differ > 0) {
      snprintf(message, sizeof message, "%s, %s: the bits of %ld values differ", what,
               run_name(run), differ);
      fail(message);
    }
  }
}

static double runs[4][RUNS][VALUES];
static double linux_bits[RUNS][VALUES];

int main(int argc, char **argv) {
  if (argc < 3 || (strcmp(argv[1], "write") != 0 && strcmp(argv[1], "check") != 0)) {
    fprintf(stderr, "usage: capi_last_bits_test write|check GRID-FOLDER [FILE]\n");
    return 2;
  }
  snprintf(grid_dn, sizeof grid_dn, "%s/dN_2km_V1-0.grd", argv[2]);
  snprintf(grid_de, sizeof grid_de, "%s/dE_2km_V1-0.grd", argv[2]);
  make_points();

  if (strcmp(argv[1], "write") == 0) {
    if (argc != 4 || !convert_all(1, runs[0])) return 1;
    FILE *f = fopen(argv[3], "wb");
    if (!f || fwrite(runs[0], sizeof runs[0], 1, f) != 1 || fclose(f) != 0) {
      fprintf(stderr, "capi_last_bits_test: cannot write %s\n", argv[3]);
      return 1;
    }
    printf("capi_last_bits_test: the bits of %d values written to %s\n", RUNS * VALUES, argv[3]);
    return 0;
  }

  /* Every combination of precision (53, 64 bits) and threads (1, 4). */
  static const int kPrecision[4] = {2, 2, 3, 3};
  static const int kThreads[4] = {1, 4, 1, 4};
  static const char *const kNames[4] = {"53-bit x87, 1 thread", "53-bit x87, 4 threads",
                                        "64-bit x87, 1 thread", "64-bit x87, 4 threads"};
  const int before = precision();
  for (int c = 0; c < 4; ++c) {
    set_precision(kPrecision[c]);
    if (HAVE_X87 && precision() != kPrecision[c]) fail("the x87 precision could not be set");
    const int done = convert_all(kThreads[c], runs[c]);
    set_precision(before);
    if (!done) return 1;
  }
  for (int c = 1; c < 4; ++c) {
    char what[96];
    snprintf(what, sizeof what, "%s against %s", kNames[c], kNames[0]);
    compare(what, (const double (*)[VALUES])runs[c], (const double (*)[VALUES])runs[0]);
  }
  if (argc == 4) {
    FILE *f = fopen(argv[3], "rb");
    if (!f || fread(linux_bits, sizeof linux_bits, 1, f) != 1) {
      printf("FAIL cannot read the native build's bits in %s\n", argv[3]);
      return 1;
    }
    fclose(f);
    compare("against the native build", (const double (*)[VALUES])runs[0],
            (const double (*)[VALUES])linux_bits);
  }
  printf("capi_last_bits_test: %d failed\n", failures);
  return failures == 0 ? 0 : 1;
}
