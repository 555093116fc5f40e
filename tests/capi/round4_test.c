/*
 * The C library refuses what would be wrong: a default grid file as an output whatever the
 * region or the way the grids came, a point count that no arrays can have; and a message
 * quotes a coordinate far beyond any in a few characters.
 *
 *   capi_round4_test REFERENCE-FOLDER       (run in a folder of its own: it writes there)
 *
 * Prints one line per failed check and a summary; exits 1 when a check failed.
 */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "check.h"
#include "vortan/vortan.h"


static const char kGridText[] = "the grid\r\n";

/* The whole of a small file as a string (empty when it cannot be read). */
static void read_text(const char *path, char *out, size_t size) {
  out[0] = '\0';
  FILE *f = fopen(path, "rb");
  if (!f) return;
  const size_t n = fread(out, 1, size - 1, f);
  out[n] = '\0';
  fclose(f);
}

static char *read_bytes(const char *path, size_t *size) {
  FILE *f = fopen(path, "rb");
  *size = 0;
  if (!f) return NULL;
  size_t room = 1 << 20;
  char *data = malloc(room);
  for (;;) {
    if (*size == room) data = realloc(data, room *= 2);
    const size_t n = fread(data + *size, 1, room - *size, f);
    if (n == 0) break;
    *size += n;
  }
  fclose(f);
  return data;
}

static void write_grids(void) {
  const char *names[] = {"dN_2km_V1-0.grd", "dE_2km_V1-0.grd"};
  for (int i = 0; i < 2; ++i) {
    FILE *f = fopen(names[i], "wb");
    if (f) {
      fputs(kGridText, f);
      fclose(f);
    }
  }
}

/* A job or convert whose output is the default grid file `grid` is refused, naming it, and
 * leaves the file as it was. */
static void check_refused(int code, const char *grid, const char *what) {
  char text[64];
  read_text(grid, text, sizeof text);
  CHECK(code == VORTAN_FILE_ERROR, "%s: code %d", what, code);
  CHECK(strstr(vortan_error_message(), grid) != NULL &&
            strstr(vortan_error_message(), "never an output") != NULL,
        "%s: %s", what, vortan_error_message());
  CHECK(strcmp(text, kGridText) == 0, "%s: %s now holds \"%s\"", what, grid, text);
}

static void default_grids_are_never_an_output(const char *reference) {
  char sflh[1024], sxyz[1024], dn[1024], de[1024];
  snprintf(sflh, sizeof sflh, "%s/mainland/HTRS07-SFLh.txt", reference);
  snprintf(sxyz, sizeof sxyz, "%s/mainland/HTRS07-SXYZ.txt", reference);
  snprintf(dn, sizeof dn, "%s/grids/dN_2km_V1-0.grd", reference);
  snprintf(de, sizeof de, "%s/grids/dE_2km_V1-0.grd", reference);
  write_grids();

  /* Kastelorizo reads no grid: the default files are still no output. */
  vortan_context *kastelorizo = vortan_context_new(VORTAN_KASTELORIZO);
  const char *dnOut[] = {"dN_2km_V1-0.grd"};
  check_refused(vortan_run_job(kastelorizo, VORTAN_JOB_SFLH_TO_SXYZ, sflh, dnOut, 1, NULL, NULL,
                               NULL),
                "dN_2km_V1-0.grd", "kastelorizo run_job");
  check_refused(vortan_convert_file(kastelorizo, VORTAN_HTRS07_GEOGRAPHIC, VORTAN_HTRS07_XYZ, 0,
                                    sflh, "dE_2km_V1-0.grd", NULL, NULL, NULL),
                "dE_2km_V1-0.grd", "kastelorizo convert_file");
  vortan_context_free(kastelorizo);

  /* A mainland context whose grids came from bytes: no grid file is named, none is read. */
  size_t dnSize = 0, deSize = 0;
  char *dnBytes = read_bytes(dn, &dnSize);
  char *deBytes = read_bytes(de, &deSize);
  vortan_context *mainland = vortan_context_new(VORTAN_MAINLAND);
  CHECK(vortan_context_load_grids_from_bytes(mainland, dnBytes, dnSize, deBytes, deSize) ==
            VORTAN_OK,
        "%s", vortan_error_message());
  const char *outputs[] = {"sflh.txt", "dE_2km_V1-0.grd", "sfl.txt", "sen.txt"};
  check_refused(vortan_run_job(mainland, VORTAN_JOB_SXYZ_TO_GGRS87, sxyz, outputs, 4, NULL, NULL,
                               NULL),
                "dE_2km_V1-0.grd", "grids from bytes run_job");
  check_refused(vortan_convert_file(mainland, VORTAN_HTRS07_XYZ, VORTAN_GGRS87_TM87, 0, sxyz,
                                    "dN_2km_V1-0.grd", NULL, NULL, NULL),
                "dN_2km_V1-0.grd", "grids from bytes convert_file");
  vortan_context_free(mainland);
  free(dnBytes);
  free(deBytes);
  remove("dN_2km_V1-0.grd");
  remove("dE_2km_V1-0.grd");
}

/* A count that no arrays of doubles can have is an invalid argument naming it, not an
 * internal error. */
static void impossible_counts_are_invalid_arguments(void) {
  vortan_context *context = vortan_context_new(VORTAN_KASTELORIZO);
  double a = 500000, b = 4000000, c = 0, out[3];
  const size_t counts[] = {SIZE_MAX, SIZE_MAX / 8, SIZE_MAX / 16 + 1};
  for (size_t i = 0; i < sizeof counts / sizeof counts[0]; ++i) {
    char count[32];
    snprintf(count, sizeof count, "%zu", counts[i]);
    const int code = vortan_convert(context, VORTAN_HTRS07_TM07, VORTAN_HTRS07_XYZ, 0, counts[i],
                                    &a, &b, &c, &out[0], &out[1], &out[2], NULL);
    CHECK(code == VORTAN_INVALID_ARGUMENT, "n = %s: code %d, %s", count, code,
          vortan_error_message());
    CHECK(strstr(vortan_error_message(), count) != NULL, "n = %s: %s", count,
          vortan_error_message());
  }
  vortan_context_free(context);
}

/* A failed point's coordinates in the message: as they are, or, beyond any coordinate, short. */
static void messages_quote_huge_coordinates_briefly(void) {
  vortan_context *context = vortan_context_new(VORTAN_KASTELORIZO);
  const struct {
    double e, n;
    const char *quoted;
  } cases[] = {
      {1e300, 4000000, "E 1e+300, N 4000000.000"},
      {500000, -1.5e200, "E 500000.000, N -1.5e+200"},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    double out[3];
    const double h = 0;
    const int code = vortan_convert(context, VORTAN_HTRS07_TM07, VORTAN_HTRS07_XYZ, 0, 1,
                                    &cases[i].e, &cases[i].n, &h, &out[0], &out[1], &out[2],
                                    NULL);
    CHECK(code == VORTAN_NUMERIC_FAULT, "case %zu: code %d", i, code);
    CHECK(strstr(vortan_error_message(), cases[i].quoted) != NULL &&
              strlen(vortan_error_message()) < 300,
          "case %zu: %s", i, vortan_error_message());
  }
  vortan_context_free(context);
}

int main(int argc, char **argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: capi_round4_test REFERENCE-FOLDER\n");
    return 2;
  }
  default_grids_are_never_an_output(argv[1]);
  impossible_counts_are_invalid_arguments();
  messages_quote_huge_coordinates_briefly();
  printf("%d checks, %d failed\n", checks, failures);
  return failures ? 1 : 0;
}
