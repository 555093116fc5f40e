/*
 * vortan_form_of_crs against the one table of test CRSs (tests/data/crs/cases.tsv): the form,
 * the regions, the order of the axes or the reason of every case; a region that narrows the
 * form; the arguments it refuses.
 *
 *   capi_crs_form_test CASES-FILE
 *
 * Prints one line per failed check and a summary; exits 1 when a check failed.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "check.h"
#include "vortan/vortan.h"


/* The regions of a mask as the table writes them: "mainland,kastelorizo", "-" for none. */
static void regions_text(int regions, char *out, size_t size) {
  out[0] = '\0';
  for (int r = 0; r < VORTAN_REGION_COUNT; ++r) {
    if (!(regions >> r & 1)) continue;
    if (out[0]) strncat(out, ",", size - strlen(out) - 1);
    strncat(out, vortan_region_name(r), size - strlen(out) - 1);
  }
  if (!out[0]) strncat(out, "-", size - 1);
}

static void check_case(char *line) {
  char *fields[6] = {0};
  int n = 0;
  fields[n++] = line;
  for (char *p = line; *p && n < 6; ++p) {
    if (*p == '\t') {
      *p = '\0';
      fields[n++] = p + 1;
    }
  }
  if (n != 6) return;
  const char *what = fields[0], *form = fields[1], *regions = fields[2], *reason = fields[4];
  const int swapped = strcmp(fields[3], "1") == 0;
  vortan_crs_form out;
  CHECK(vortan_form_of_crs(fields[5], -1, &out) == VORTAN_OK, "%s: %s", what, vortan_error_message());
  const char *found = out.form >= 0 ? vortan_form_name(out.form) : "none";
  char shown[64];
  regions_text(out.regions, shown, sizeof shown);
  CHECK(strcmp(found, form) == 0, "%s: %s, not %s (%s)", what, found, form, out.reason);
  CHECK(strcmp(shown, regions) == 0, "%s: regions %s, not %s", what, shown, regions);
  if (out.form >= 0) {
    CHECK(out.swapped == swapped, "%s: swapped %d", what, out.swapped);
    CHECK(out.reason[0] == '\0' && out.reason_el[0] == '\0', "%s: %s", what, out.reason);
  } else {
    CHECK(strstr(out.reason, reason) != NULL, "%s: '%s' lacks '%s'", what, out.reason, reason);
    CHECK(out.reason_el[0] != '\0', "%s: no Greek reason", what);
  }
}

int main(int argc, char **argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: capi_crs_form_test CASES-FILE\n");
    return 2;
  }
  CHECK(vortan_api_version() >= 3, "api %d", vortan_api_version());
  FILE *f = fopen(argv[1], "rb");
  CHECK(f != NULL, "cannot open %s", argv[1]);
  if (!f) return 1;
  static char line[1 << 16];
  int cases = 0;
  while (fgets(line, sizeof line, f)) {
    line[strcspn(line, "\r\n")] = '\0';
    if (line[0] == '\0' || line[0] == '#') continue;
    ++cases;
    check_case(line);
  }
  fclose(f);
  CHECK(cases >= 80, "%d cases", cases);

  /* A region narrows the form; a form of the other region is none, saying whose. */
  vortan_crs_form out;
  CHECK(vortan_form_of_crs("EPSG:2100", VORTAN_MAINLAND, &out) == VORTAN_OK &&
            out.form == VORTAN_GGRS87_TM87 && out.regions == 1 << VORTAN_MAINLAND,
        "form %d", out.form);
  CHECK(vortan_form_of_crs("EPSG:2100", VORTAN_KASTELORIZO, &out) == VORTAN_OK && out.form == -1 &&
            strstr(out.reason, "of mainland, not of kastelorizo") != NULL,
        "%s", out.reason);
  /* ETRS89 latitude and longitude: none, but it can hold both geographic forms. */
  CHECK(vortan_form_of_crs("+proj=longlat +ellps=GRS80 +datum=ETRS89", -1, &out) == VORTAN_OK &&
            out.form == -1 &&
            (out.fits & (1 << (VORTAN_HTRS07_GEOGRAPHIC * VORTAN_REGION_COUNT + VORTAN_MAINLAND))) &&
            !(out.fits & (1 << (VORTAN_HTRS07_TM07 * VORTAN_REGION_COUNT + VORTAN_MAINLAND))),
        "fits %x", out.fits);
  /* Arguments it refuses. */
  CHECK(vortan_form_of_crs(NULL, -1, &out) == VORTAN_INVALID_ARGUMENT, "null text");
  CHECK(vortan_form_of_crs("EPSG:2100", -1, NULL) == VORTAN_INVALID_ARGUMENT, "null out");
  CHECK(vortan_form_of_crs("EPSG:2100", 2, &out) == VORTAN_INVALID_ARGUMENT &&
            strstr(vortan_error_message(), "region 2") != NULL,
        "%s", vortan_error_message());

  printf("%d checks, %d failed\n", checks, failures);
  return failures ? 1 : 0;
}
