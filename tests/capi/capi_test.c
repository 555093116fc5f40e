/*
 * The C library from plain C (C11), natively against libvortan.so and, cross-built, under Wine
 * against vortan.dll: every function of include/vortan/vortan.h, with the reference points.
 *
 *   capi_test REFERENCE-FOLDER WORK-FOLDER
 *
 * The batch call and the point call give the numbers that the reference files hold, written
 * with the system's patterns; the record calls write the reference files byte for byte. Prints
 * one line per failed check and a summary; exits 1 when a check failed.
 */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "check.h"
#include "vortan/vortan.h"


static const char *reference;
static const char *work;

/* ------------------------------------------------------------------------------------------ */
/* Files */

typedef struct {
  char *data;
  size_t size;
} Bytes;

static Bytes read_file(const char *path) {
  Bytes b = {NULL, 0};
  FILE *f = fopen(path, "rb");
  if (!f) return b;
  size_t room = 1 << 16;
  b.data = malloc(room);
  for (;;) {
    if (b.size == room) {
      room *= 2;
      b.data = realloc(b.data, room);
    }
    const size_t n = fread(b.data + b.size, 1, room - b.size, f);
    if (n == 0) break;
    b.size += n;
  }
  fclose(f);
  return b;
}

static void path_of(char *out, size_t size, const char *folder, const char *region,
                    const char *name) {
  if (region) {
    snprintf(out, size, "%s/%s/%s", folder, region, name);
  } else {
    snprintf(out, size, "%s/%s", folder, name);
  }
}

static int write_text(const char *path, const char *text) {
  FILE *f = fopen(path, "wb");
  if (!f) return 0;
  fputs(text, f);
  fclose(f);
  return 1;
}

/* The lines of a record file (CR LF), each record on one line; the last `count` fields of each
 * are its numbers (an id may hold commas inside quotes, numbers never). */
typedef struct {
  size_t n;
  char **fields; /* n * 3 texts */
} Records;

static Records read_records(const char *path, int count) {
  Records r = {0, NULL};
  Bytes b = read_file(path);
  if (!b.data) return r;
  size_t lines = 0;
  for (size_t i = 0; i < b.size; ++i) lines += b.data[i] == '\n';
  r.fields = calloc(lines * 3 + 1, sizeof(char *));
  char *line = b.data;
  char *end = b.data + b.size;
  while (line < end) {
    char *eol = memchr(line, '\n', (size_t)(end - line));
    if (!eol) eol = end;
    char *stop = eol > line && eol[-1] == '\r' ? eol - 1 : eol;
    char *cut = stop;
    for (int k = count - 1; k >= 0; --k) {
      char *comma = cut;
      while (comma > line && comma[-1] != ',') --comma;
      const size_t length = (size_t)(cut - comma);
      char *field = malloc(length + 1);
      memcpy(field, comma, length);
      field[length] = '\0';
      r.fields[r.n * 3 + (size_t)k] = field;
      cut = comma > line ? comma - 1 : comma;
    }
    ++r.n;
    line = eol + 1;
  }
  free(b.data);
  return r;
}

static void free_records(Records *r) {
  for (size_t i = 0; i < r->n * 3; ++i) free(r->fields[i]);
  free(r->fields);
  r->n = 0;
}

static double number(const Records *r, size_t i, int k) {
  return strtod(r->fields[i * 3 + (size_t)k], NULL);
}

static const char *formatted(double value, const char *pattern) {
  static char buffers[8][64];
  static int next = 0;
  char *b = buffers[next++ % 8];
  vortan_format_number(value, pattern, b, 64);
  return b;
}

static const char *region_folder(int region) { return vortan_region_name(region); }

/* ------------------------------------------------------------------------------------------ */
/* Names, CRS, number patterns */

static void test_names(void) {
  CHECK(strcmp(vortan_version(), VORTAN_PROJECT_VERSION) == 0, "version %s", vortan_version());
  CHECK(vortan_api_version() >= VORTAN_API_VERSION, "api %d", vortan_api_version());
  /* Every status has words of its own; an unknown code has none. */
  for (int code = VORTAN_OK; code <= VORTAN_INTERNAL_ERROR; ++code) {
    const char *words = vortan_status_string(code);
    CHECK(words != NULL && words[0] != '\0', "status %d has no words", code);
    for (int other = VORTAN_OK; words && other < code; ++other) {
      CHECK(strcmp(words, vortan_status_string(other)) != 0, "statuses %d, %d", other, code);
    }
  }
  CHECK(vortan_status_string(-1) == NULL && vortan_status_string(VORTAN_INTERNAL_ERROR + 1) == NULL,
        "unknown status");
  static const char *forms[] = {"htrs07-xyz", "htrs07-geographic", "htrs07-tm07",
                                "ggrs87-geographic", "ggrs87-tm87"};
  for (int f = 0; f < VORTAN_FORM_COUNT; ++f) {
    CHECK(strcmp(vortan_form_name(f), forms[f]) == 0, "form %d", f);
    CHECK(vortan_form_of_name(forms[f]) == f, "form %s", forms[f]);
  }
  CHECK(vortan_form_name(5) == NULL && vortan_form_of_name("wgs84") == -1 &&
            vortan_form_of_name(NULL) == -1,
        "unknown form");
  CHECK(strcmp(vortan_region_name(VORTAN_KASTELORIZO), "kastelorizo") == 0, "region");
  CHECK(vortan_region_of_name("mainland") == VORTAN_MAINLAND &&
            vortan_region_of_name("crete") == -1 && vortan_region_name(2) == NULL,
        "regions");
  static const char *jobs[] = {"sflh-to-senh", "senh-to-htrs07", "sflh-to-sxyz",
                               "sxyz-to-ggrs87"};
  static const int outputs[] = {1, 3, 1, 4};
  for (int j = 0; j < VORTAN_JOB_COUNT; ++j) {
    CHECK(strcmp(vortan_job_name(j), jobs[j]) == 0, "job %d", j);
    CHECK(vortan_job_of_name(jobs[j]) == j, "job %s", jobs[j]);
    CHECK(vortan_job_output_count(j) == outputs[j], "outputs of %s", jobs[j]);
  }
  CHECK(vortan_job_of_name("convert") == -1 && vortan_job_output_count(4) == 0 &&
            vortan_job_name(-1) == NULL,
        "unknown job");
  CHECK(strcmp(vortan_job_input_name(VORTAN_JOB_SXYZ_TO_GGRS87, VORTAN_MAINLAND),
               "HTRS07-SXYZ.txt") == 0,
        "input name");
  CHECK(strcmp(vortan_job_output_name(VORTAN_JOB_SXYZ_TO_GGRS87, 1, VORTAN_KASTELORIZO),
               "HTRS07-KAST-SENk.txt") == 0,
        "output name %s", vortan_job_output_name(VORTAN_JOB_SXYZ_TO_GGRS87, 1, 1));
  CHECK(vortan_job_output_name(VORTAN_JOB_SFLH_TO_SENH, 1, VORTAN_MAINLAND) == NULL,
        "output beyond the job's");
}

static void test_crs(void) {
  CHECK(vortan_crs_epsg(VORTAN_GGRS87_TM87, VORTAN_MAINLAND) == 2100, "EPSG:2100");
  CHECK(vortan_crs_epsg(VORTAN_GGRS87_GEOGRAPHIC, VORTAN_MAINLAND) == 4121, "EPSG:4121");
  CHECK(vortan_crs_epsg(VORTAN_HTRS07_TM07, VORTAN_MAINLAND) == 0, "TM07 has no code");
  CHECK(vortan_crs_epsg(VORTAN_GGRS87_TM87, VORTAN_KASTELORIZO) == 0, "nor TM87 Kastelorizo");
  CHECK(strcmp(vortan_crs_name(VORTAN_HTRS07_TM07, VORTAN_MAINLAND), "HTRS07 / TM07") == 0,
        "name %s", vortan_crs_name(VORTAN_HTRS07_TM07, VORTAN_MAINLAND));
  const char *wkt = vortan_crs_wkt(VORTAN_HTRS07_TM07, VORTAN_KASTELORIZO);
  CHECK(wkt && strncmp(wkt, "PROJCRS[\"HTRS07 / TM07 Kastelorizo\"", 35) == 0 &&
            strstr(wkt, "\"Longitude of natural origin\",30,") != NULL,
        "wkt %s", wkt ? wkt : "(null)");
  CHECK(strncmp(vortan_crs_wkt(VORTAN_HTRS07_GEOGRAPHIC, VORTAN_MAINLAND), "GEOGCRS[", 8) == 0,
        "geographic wkt");
  CHECK(vortan_crs_wkt(7, 0) == NULL && vortan_crs_name(0, 3) == NULL && vortan_crs_epsg(-1, 0) == 0,
        "unknown form or region");
}

static void test_number_patterns(void) {
  static const struct {
    double value;
    const char *pattern, *text;
  } cases[] = {
      {412345.67891, ".000", "412345.679"}, {0.25, ".000", ".250"},
      {-0.25, ".000", "-.250"},             {-0.0001, ".000", "-.000"},
      {381530.123454, ".00000", "381530.12345"}, {0.999612, "0.000000", "0.999612"},
      {-11.94, "000.0", "-011.9"},          {7, "00", "07"},
      {2000, "0000.", "2000."},
  };
  char buffer[64];
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    const int n = vortan_format_number(cases[i].value, cases[i].pattern, buffer, sizeof buffer);
    CHECK(n == (int)strlen(cases[i].text) && strcmp(buffer, cases[i].text) == 0,
          "%.10g with %s: \"%s\", expected \"%s\"", cases[i].value, cases[i].pattern, buffer,
          cases[i].text);
  }
  /* A short buffer gets the start and a NUL; the length is that of the whole text. */
  char small[4];
  CHECK(vortan_format_number(412345.67891, ".000", small, sizeof small) == 10 &&
            strcmp(small, "412") == 0,
        "short buffer \"%s\"", small);
  CHECK(vortan_format_number(1.5, ".000", NULL, 0) == 5, "length alone");
  CHECK(vortan_format_number(1.5, "0,000", buffer, sizeof buffer) == -1 &&
            vortan_error_code() == VORTAN_INVALID_ARGUMENT &&
            strstr(vortan_error_message(), "0,000") != NULL,
        "bad pattern: %s", vortan_error_message());
  CHECK(vortan_format_number(1.5, ".0", buffer, sizeof buffer) == 3 &&
            vortan_error_code() == VORTAN_OK && vortan_error_message()[0] == '\0',
        "a call that succeeds clears the error");
}

/* ------------------------------------------------------------------------------------------ */
/* Contexts */

static vortan_context *loaded_context(int region) {
  vortan_context *context = vortan_context_new(region);
  char dn[1024], de[1024];
  path_of(dn, sizeof dn, reference, "grids", "dN_2km_V1-0.grd");
  path_of(de, sizeof de, reference, "grids", "dE_2km_V1-0.grd");
  const int s = vortan_context_load_grids(context, dn, de);
  CHECK(s == VORTAN_OK, "grids: %s", vortan_error_message());
  return context;
}

static void test_contexts(void) {
  CHECK(vortan_context_new(2) == NULL && vortan_error_code() == VORTAN_INVALID_ARGUMENT,
        "unknown region");
  vortan_context *mainland = vortan_context_new(VORTAN_MAINLAND);
  CHECK(mainland != NULL && vortan_context_region(mainland) == VORTAN_MAINLAND, "mainland");
  CHECK(vortan_context_ready(mainland) == 0 && vortan_context_ready(NULL) == 0 &&
            vortan_context_region(NULL) == -1,
        "not ready without grids");

  /* Within one system no grid is needed; across the datum it is. */
  double e = 500000, n = 4200000, h = 100, lat, lon, hh;
  CHECK(vortan_convert(mainland, VORTAN_GGRS87_TM87, VORTAN_GGRS87_GEOGRAPHIC, 0, 1, &e, &n, &h,
                       &lat, &lon, &hh, NULL) == VORTAN_OK &&
            fabs(lon - 24) < 1e-12 && hh == 100,
        "within GGRS87: %s", vortan_error_message());
  CHECK(vortan_convert(mainland, VORTAN_GGRS87_TM87, VORTAN_HTRS07_TM07, 0, 1, &e, &n, &h, &lat,
                       &lon, &hh, NULL) == VORTAN_NOT_READY &&
            strstr(vortan_error_message(), "dN_2km_V1-0.grd") != NULL,
        "across without grids: %s", vortan_error_message());

  /* A grid that cannot be read leaves the context without grids and names the file. */
  char missing[1024], bad[1024], de[1024];
  path_of(missing, sizeof missing, work, NULL, "no-such-dN.grd");
  path_of(bad, sizeof bad, work, NULL, "capi-bad-dN.grd");
  path_of(de, sizeof de, reference, "grids", "dE_2km_V1-0.grd");
  CHECK(vortan_context_load_grids(mainland, missing, de) == VORTAN_GRID_ERROR &&
            strstr(vortan_error_message(), "no-such-dN.grd") != NULL,
        "missing grid: %s", vortan_error_message());
  write_text(bad, "408,422,2000,1846000,42000\r\n1,2,x\r\n");
  CHECK(vortan_context_load_grids(mainland, bad, de) == VORTAN_GRID_ERROR &&
            strstr(vortan_error_message(), "capi-bad-dN.grd, line 2") != NULL &&
            strstr(vortan_error_message(), "\"x\" is not a number") != NULL,
        "bad grid: %s", vortan_error_message());
  CHECK(vortan_context_ready(mainland) == 0, "no grids after a failed load");
  CHECK(vortan_context_load_grids(NULL, bad, de) == VORTAN_INVALID_ARGUMENT &&
            vortan_context_load_grids(mainland, NULL, de) == VORTAN_INVALID_ARGUMENT,
        "null arguments");

  /* From the bytes of the files: the same grids. */
  char dnPath[1024];
  path_of(dnPath, sizeof dnPath, reference, "grids", "dN_2km_V1-0.grd");
  Bytes dnBytes = read_file(dnPath), deBytes = read_file(de);
  CHECK(vortan_context_load_grids_from_bytes(mainland, dnBytes.data, dnBytes.size, deBytes.data,
                                             deBytes.size) == VORTAN_OK &&
            vortan_context_ready(mainland) == 1,
        "grids from bytes: %s", vortan_error_message());
  CHECK(vortan_context_load_grids_from_bytes(mainland, dnBytes.data, dnBytes.size / 2,
                                             deBytes.data, deBytes.size) == VORTAN_GRID_ERROR &&
            strstr(vortan_error_message(), "the dN grid") != NULL &&
            vortan_context_ready(mainland) == 0,
        "half a grid from bytes: %s", vortan_error_message());
  free(dnBytes.data);
  free(deBytes.data);

  /* Kastelorizo has no grids: ready at once, and loading is nothing. */
  vortan_context *kast = vortan_context_new(VORTAN_KASTELORIZO);
  CHECK(vortan_context_ready(kast) == 1 && vortan_context_load_grids(kast, missing, missing) ==
                                                VORTAN_OK,
        "Kastelorizo needs no grids");
  CHECK(vortan_context_set_threads(kast, 257) == VORTAN_INVALID_ARGUMENT &&
            vortan_context_set_threads(kast, 0) == VORTAN_OK &&
            vortan_context_set_threads(NULL, 1) == VORTAN_INVALID_ARGUMENT,
        "threads");
  vortan_context_free(kast);
  vortan_context_free(mainland);
  vortan_context_free(NULL);
}

/* ------------------------------------------------------------------------------------------ */
/* The batch call against the reference files */

typedef struct {
  int from, to;
  const char *input;     /* the job's input, by its mainland name */
  const char *expected;  /* expected-JOB.NAME, by its mainland name */
  int first;             /* E among the last three fields of a line: 1 for SEN, 0 for SENk */
} BatchCase;

static const BatchCase batch_cases[] = {
    {VORTAN_HTRS07_XYZ, VORTAN_GGRS87_TM87, "HTRS07-SXYZ.txt",
     "expected-sxyz-to-ggrs87.GGRS87-SEN.txt", 1},
    {VORTAN_HTRS07_XYZ, VORTAN_HTRS07_TM07, "HTRS07-SXYZ.txt",
     "expected-sxyz-to-ggrs87.HTRS07-SENk.txt", 0},
    {VORTAN_GGRS87_TM87, VORTAN_HTRS07_TM07, "GGRS87-SENh.txt",
     "expected-senh-to-htrs07.HTRS07-SEN.txt", 1},
};

/* "GGRS87-SENh.txt" of the region. */
static void region_name(char *out, size_t size, int region, const char *mainlandName) {
  if (region == VORTAN_KASTELORIZO) {
    const char *hyphen = strchr(mainlandName, '-');
    snprintf(out, size, "%.*sKAST-%s", (int)(hyphen - mainlandName + 1), mainlandName,
             hyphen + 1);
  } else {
    snprintf(out, size, "%s", mainlandName);
  }
}

/* A reference file by its mainland name: "GGRS87-SENh.txt", "expected-JOB.NAME". */
static void region_file(char *out, size_t size, int region, const char *mainlandName) {
  char name[600];
  const char *dot = strchr(mainlandName, '.');
  if (strncmp(mainlandName, "expected-", 9) == 0 && dot) {
    char inner[256];
    region_name(inner, sizeof inner, region, dot + 1);
    snprintf(name, sizeof name, "%.*s.%s", (int)(dot - mainlandName), mainlandName, inner);
  } else {
    region_name(name, sizeof name, region, mainlandName);
  }
  path_of(out, size, reference, region_folder(region), name);
}

static void test_batch(vortan_context *context, int region, const char *label) {
  for (size_t c = 0; c < sizeof batch_cases / sizeof batch_cases[0]; ++c) {
    const BatchCase *k = &batch_cases[c];
    char inPath[1024], expectedPath[1024];
    region_file(inPath, sizeof inPath, region, k->input);
    region_file(expectedPath, sizeof expectedPath, region, k->expected);
    Records in = read_records(inPath, 3);
    Records expected = read_records(expectedPath, 3);
    CHECK(in.n > 0 && in.n == expected.n, "%s: %zu points, %zu expected", inPath, in.n,
          expected.n);
    const size_t n = in.n;
    double *a = malloc(n * sizeof *a), *b = malloc(n * sizeof *b), *h = malloc(n * sizeof *h);
    double *oa = malloc(n * sizeof *oa), *ob = malloc(n * sizeof *ob), *oh = malloc(n * sizeof *oh);
    uint8_t *status = malloc(n);
    for (size_t i = 0; i < n; ++i) {
      a[i] = number(&in, i, 0);
      b[i] = number(&in, i, 1);
      h[i] = number(&in, i, 2);
    }
    const int s = vortan_convert(context, k->from, k->to, 0, n, a, b, h, oa, ob, oh, status);
    CHECK(s == VORTAN_OK, "%s %s -> %s: %s", label, vortan_form_name(k->from),
          vortan_form_name(k->to), vortan_error_message());
    size_t differ = 0;
    for (size_t i = 0; i < n && i < expected.n; ++i) {
      const int first = k->first;
      const char *e = formatted(oa[i], ".000");
      const char *nn = formatted(ob[i], ".000");
      const char *ee = expected.fields[i * 3 + (size_t)first];
      const char *en = expected.fields[i * 3 + (size_t)first + 1];
      if (strcmp(e, ee) != 0 || strcmp(nn, en) != 0 || status[i] != VORTAN_POINT_DONE) {
        if (differ++ < 3) printf("  %s point %zu: %s,%s expected %s,%s\n", label, i, e, nn, ee, en);
      }
    }
    CHECK(differ == 0, "%s %s: %zu points differ from %s", label, vortan_form_name(k->to),
          differ, expectedPath);
    free(a), free(b), free(h), free(oa), free(ob), free(oh), free(status);
    free_records(&in);
    free_records(&expected);
  }
}

/* ------------------------------------------------------------------------------------------ */
/* The point call: packed angles in and out, against the reference files */

static void test_points(vortan_context *context, int region, const char *label) {
  char path[1024];
  /* HTRS07 X, Y, Z: HTRS07 SFLh, SENk (with the scale factor), GGRS87 SFL, SEN. */
  region_file(path, sizeof path, region, "HTRS07-SXYZ.txt");
  Records xyz = read_records(path, 3);
  region_file(path, sizeof path, region, "expected-sxyz-to-ggrs87.HTRS07-SFLh.txt");
  Records sflh = read_records(path, 3);
  region_file(path, sizeof path, region, "expected-sxyz-to-ggrs87.HTRS07-SENk.txt");
  Records senk = read_records(path, 3);
  region_file(path, sizeof path, region, "expected-sxyz-to-ggrs87.GGRS87-SFL.txt");
  Records sfl = read_records(path, 3);
  size_t differ = 0;
  for (size_t i = 0; i < xyz.n; ++i) {
    const double in[3] = {number(&xyz, i, 0), number(&xyz, i, 1), number(&xyz, i, 2)};
    vortan_point p;
    const int s = vortan_convert_point(context, VORTAN_HTRS07_XYZ, 0, 0, in, &p);
    const char *got[] = {
        formatted(p.htrs07_latitude.packed, ".00000"), formatted(p.htrs07_longitude.packed, ".00000"),
        formatted(p.values[VORTAN_HTRS07_GEOGRAPHIC][2], ".000"), formatted(p.tm07_scale, "0.000000"),
    };
    const char *want[] = {sflh.fields[i * 3], sflh.fields[i * 3 + 1], sflh.fields[i * 3 + 2],
                          senk.fields[i * 3 + 2]};
    int same = s == VORTAN_OK;
    for (int k = 0; k < 4; ++k) same = same && strcmp(got[k], want[k]) == 0;
    same = same && strcmp(formatted(p.ggrs87_latitude.packed, ".00000"), sfl.fields[i * 3 + 1]) == 0 &&
           strcmp(formatted(p.ggrs87_longitude.packed, ".00000"), sfl.fields[i * 3 + 2]) == 0;
    if (!same && differ++ < 3) {
      printf("  %s point %zu: %s %s %s %s (%s)\n", label, i, got[0], got[1], got[2], got[3],
             vortan_error_message());
    }
  }
  CHECK(differ == 0 && xyz.n > 0, "%s: %zu of %zu points from X, Y, Z differ", label, differ,
        xyz.n);

  /* GGRS87 latitude, longitude packed in, TM87 E, N, h out (the job sflh-to-senh). */
  region_file(path, sizeof path, region, "GGRS87-SFLh.txt");
  Records geo = read_records(path, 3);
  region_file(path, sizeof path, region, "expected-sflh-to-senh.GGRS87-SENh.txt");
  Records senh = read_records(path, 3);
  differ = 0;
  for (size_t i = 0; i < geo.n; ++i) {
    const double in[3] = {number(&geo, i, 0), number(&geo, i, 1), number(&geo, i, 2)};
    vortan_point p;
    const int s = vortan_convert_point(context, VORTAN_GGRS87_GEOGRAPHIC, 0, 1, in, &p);
    int same = s == VORTAN_OK;
    for (int k = 0; k < 3; ++k) {
      same = same && strcmp(formatted(p.values[VORTAN_GGRS87_TM87][k], ".000"),
                            senh.fields[i * 3 + (size_t)k]) == 0;
    }
    if (!same && differ++ < 3) printf("  %s SFLh point %zu (%s)\n", label, i, vortan_error_message());
  }
  CHECK(differ == 0 && geo.n > 0, "%s: %zu of %zu GGRS87 SFLh points differ", label, differ,
        geo.n);

  /* The window's default point: HTRS07 40 54 53.90607, 24 47 20.59229, scale 0.999654. */
  if (region == VORTAN_MAINLAND) {
    const double in[3] = {4382064.771, 2023782.319, 4155326.131};
    vortan_point p;
    CHECK(vortan_convert_point(context, VORTAN_HTRS07_XYZ, 0, 0, in, &p) == VORTAN_OK,
          "default point: %s", vortan_error_message());
    CHECK(p.htrs07_latitude.degrees == 40 && p.htrs07_latitude.minutes == 54 &&
              strcmp(formatted(p.htrs07_latitude.seconds, ".00000"), "53.90607") == 0 &&
              strcmp(formatted(p.htrs07_longitude.seconds, ".00000"), "20.59229") == 0 &&
              strcmp(formatted(p.tm07_scale, "0.000000"), "0.999654") == 0,
          "default point: %d %d %.5f, scale %.6f", p.htrs07_latitude.degrees,
          p.htrs07_latitude.minutes, p.htrs07_latitude.seconds, p.tm07_scale);
    CHECK(p.de_cm < -5 && p.de_cm > -20 && p.dn_cm < -5 && p.dn_cm > -25,
          "corrections %.1f %.1f", p.de_cm, p.dn_cm);
    /* The same point from every form has the same TM07 scale factor (each source takes its
       own route to it). */
    for (int form = 0; form < VORTAN_FORM_COUNT; ++form) {
      vortan_point q;
      const int s = vortan_convert_point(context, form, 0, 0, p.values[form], &q);
      CHECK(s == VORTAN_OK && strcmp(formatted(q.tm07_scale, "0.000000"), "0.999654") == 0,
            "default point from form %d: scale %.6f (%s)", form, q.tm07_scale,
            vortan_error_message());
    }
    /* The way back shows the negated corrections of about the same size. */
    vortan_point back;
    CHECK(vortan_convert_point(context, VORTAN_GGRS87_TM87, 0, 0, p.values[VORTAN_GGRS87_TM87],
                               &back) == VORTAN_OK &&
              fabs(back.de_cm + p.de_cm) < 0.1 && fabs(back.dn_cm + p.dn_cm) < 0.1,
          "way back %.2f %.2f", back.de_cm, back.dn_cm);
  }
  free_records(&xyz), free_records(&sflh), free_records(&senk), free_records(&sfl);
  free_records(&geo), free_records(&senh);
}

/* ------------------------------------------------------------------------------------------ */
/* Failures of the batch and point calls */

static void test_batch_failures(vortan_context *context) {
  /* Points 1 and 3 lie far outside the grid; point 2 is NaN: no failure. */
  double e[4] = {566446.108, 2000000, NAN, 3000000};
  double n[4] = {2529618.096, 2529618.096, 2529618.096, 0};
  double oe[4], on[4];
  uint8_t status[4];
  int s = vortan_convert(context, VORTAN_HTRS07_TM07, VORTAN_GGRS87_TM87, 0, 4, e, n, NULL, oe,
                         on, NULL, status);
  CHECK(s == VORTAN_OUTSIDE_GRID && vortan_error_index() == 1 &&
            strstr(vortan_error_message(), "point 1 (E 2000000.000, N 2529618.096)") != NULL &&
            strstr(vortan_error_message(), "2 of the 4 points") != NULL,
        "outside: %d %s", s, vortan_error_message());
  CHECK(status[0] == VORTAN_POINT_DONE && status[1] == VORTAN_POINT_OUTSIDE_GRID &&
            status[2] == VORTAN_POINT_NO_VALUE && status[3] == VORTAN_POINT_OUTSIDE_GRID,
        "statuses %d %d %d %d", status[0], status[1], status[2], status[3]);
  CHECK(!isnan(oe[0]) && isnan(oe[1]) && isnan(on[2]) && isnan(oe[3]), "NaN where failed");

  /* A latitude beyond 90 degrees is no point of the Earth: refused, naming the range. */
  double lat[2] = {38.0, 95.0}, lon[2] = {23.7, 23.7}, olat[2], olon[2];
  uint8_t range[2];
  s = vortan_convert(context, VORTAN_GGRS87_GEOGRAPHIC, VORTAN_GGRS87_TM87, 0, 2, lat, lon, NULL,
                     olat, olon, NULL, range);
  CHECK(s == VORTAN_NUMERIC_FAULT && vortan_error_index() == 1 &&
            strstr(vortan_error_message(), "latitude beyond") != NULL &&
            range[0] == VORTAN_POINT_DONE && range[1] == VORTAN_POINT_OUT_OF_RANGE,
        "out of range: %d %s", s, vortan_error_message());

  /* In place, 2D: the same numbers as into other arrays. */
  double ie[2] = {566446.108, 450000}, in2[2] = {2529618.096, 2300000}, fe[2], fn[2];
  CHECK(vortan_convert(context, VORTAN_HTRS07_TM07, VORTAN_GGRS87_TM87, 0, 2, ie, in2, NULL, fe,
                       fn, NULL, NULL) == VORTAN_OK,
        "2D: %s", vortan_error_message());
  CHECK(vortan_convert(context, VORTAN_HTRS07_TM07, VORTAN_GGRS87_TM87, 0, 2, ie, in2, NULL, ie,
                       in2, NULL, NULL) == VORTAN_OK &&
            ie[0] == fe[0] && in2[1] == fn[1],
        "in place");

  /* keep_heights: the input height unchanged across the datum. */
  double x = 4382064.771, y = 2023782.319, z = 4155326.131, a, b, h, hk;
  vortan_convert(context, VORTAN_HTRS07_XYZ, VORTAN_GGRS87_GEOGRAPHIC, 0, 1, &x, &y, &z, &a, &b,
                 &h, NULL);
  double e07 = 566446.108, n07 = 2529618.096, h07 = 51.61;
  vortan_convert(context, VORTAN_HTRS07_TM07, VORTAN_GGRS87_TM87, 1, 1, &e07, &n07, &h07, &a, &b,
                 &hk, NULL);
  CHECK(strcmp(formatted(h, ".000"), "6.501") == 0 && hk == 51.61, "heights %.3f %.3f", h, hk);

  CHECK(vortan_convert(context, 9, 0, 0, 1, &x, &y, &z, &a, &b, &h, NULL) ==
                VORTAN_INVALID_ARGUMENT &&
            strstr(vortan_error_message(), "from: 9 is no form") != NULL,
        "bad form: %s", vortan_error_message());
  CHECK(vortan_convert(context, VORTAN_HTRS07_XYZ, 0, 0, 1, &x, &y, NULL, &a, &b, &h, NULL) ==
            VORTAN_INVALID_ARGUMENT,
        "X, Y, Z without Z");
  CHECK(vortan_convert(context, 0, 1, 0, 1, NULL, &y, &z, &a, &b, &h, NULL) ==
                VORTAN_INVALID_ARGUMENT &&
            vortan_convert(NULL, 0, 1, 0, 1, &x, &y, &z, &a, &b, &h, NULL) ==
                VORTAN_INVALID_ARGUMENT &&
            vortan_convert(context, 0, 1, 0, 0, NULL, NULL, NULL, NULL, NULL, NULL, NULL) ==
                VORTAN_OK,
        "null arrays; n = 0 needs none");

  const double far[3] = {400000, 1000000, 0};
  vortan_point p;
  CHECK(vortan_convert_point(context, VORTAN_HTRS07_TM07, 0, 0, far, &p) == VORTAN_OUTSIDE_GRID &&
            p.status[VORTAN_HTRS07_XYZ] == VORTAN_POINT_DONE &&
            p.status[VORTAN_GGRS87_TM87] == VORTAN_POINT_OUTSIDE_GRID &&
            isnan(p.values[VORTAN_GGRS87_TM87][0]) && isnan(p.de_cm),
        "point outside: %s", vortan_error_message());
  const double huge[3] = {1e300, 1e300, 1e300};
  CHECK(vortan_convert_point(context, VORTAN_HTRS07_XYZ, 0, 0, huge, &p) == VORTAN_NUMERIC_FAULT,
        "numeric fault: %s", vortan_error_message());
}

/* ------------------------------------------------------------------------------------------ */
/* Record files */

static int same_bytes(const char *a, const char *b) {
  Bytes x = read_file(a), y = read_file(b);
  const int same = x.data && y.data && x.size == y.size && memcmp(x.data, y.data, x.size) == 0;
  free(x.data);
  free(y.data);
  return same;
}

static int calls = 0;
static int count_progress(uint64_t done, uint64_t read, uint64_t total, void *user) {
  (void)done, (void)read, (void)total;
  ++*(int *)user;
  return 0;
}
static int stop_at_once(uint64_t done, uint64_t read, uint64_t total, void *user) {
  (void)done, (void)read, (void)total, (void)user;
  return 1;
}

static void test_jobs(vortan_context *context, int region, const char *label) {
  for (int job = 0; job < VORTAN_JOB_COUNT; ++job) {
    char input[1024];
    path_of(input, sizeof input, reference, region_folder(region),
            vortan_job_input_name(job, region));
    char outputs[4][1024];
    const char *list[4];
    const int count = vortan_job_output_count(job);
    for (int k = 0; k < count; ++k) {
      snprintf(outputs[k], sizeof outputs[k], "%s/capi-%s-%s", work, label,
               vortan_job_output_name(job, k, region));
      list[k] = outputs[k];
    }
    uint64_t written = 0;
    calls = 0;
    const int s = vortan_run_job(context, job, input, list, (size_t)count, count_progress, &calls,
                                 &written);
    CHECK(s == VORTAN_OK && written > 0 && calls > 0, "%s %s: %s", label, vortan_job_name(job),
          vortan_error_message());
    for (int k = 0; k < count; ++k) {
      char expected[1024], name[256];
      snprintf(name, sizeof name, "expected-%s.%s", vortan_job_name(job),
               vortan_job_output_name(job, k, region));
      path_of(expected, sizeof expected, reference, region_folder(region), name);
      CHECK(same_bytes(outputs[k], expected), "%s: %s differs from %s", label, outputs[k],
            expected);
    }
  }
  /* convert on record files: where a job writes the same values, the same characters. */
  char input[1024], output[1024], expected[1024];
  path_of(input, sizeof input, reference, region_folder(region),
          vortan_job_input_name(VORTAN_JOB_SXYZ_TO_GGRS87, region));
  snprintf(output, sizeof output, "%s/capi-%s-convert.txt", work, label);
  char name[256];
  snprintf(name, sizeof name, "expected-sxyz-to-ggrs87.%s",
           vortan_job_output_name(VORTAN_JOB_SXYZ_TO_GGRS87, 0, region));
  path_of(expected, sizeof expected, reference, region_folder(region), name);
  uint64_t written = 0;
  CHECK(vortan_convert_file(context, VORTAN_HTRS07_XYZ, VORTAN_HTRS07_GEOGRAPHIC, 0, input,
                            output, NULL, NULL, &written) == VORTAN_OK &&
            same_bytes(output, expected),
        "%s convert: %s", label, vortan_error_message());
}

static void test_job_failures(vortan_context *context) {
  char input[1024], output[1024], missing[1024];
  snprintf(input, sizeof input, "%s/capi-bad-SXYZ.txt", work);
  snprintf(output, sizeof output, "%s/capi-bad-out.txt", work);
  snprintf(missing, sizeof missing, "%s/capi-no-such-input.txt", work);
  const char *outputs[4] = {output, output, output, output};
  uint64_t written = 99;

  /* A field that is no number: file, line and field. */
  write_text(input, "P1,4382064.771,2023782.319,4155326.131\r\nP2,4382064.771,abc,4155326.131\r\n");
  CHECK(vortan_convert_file(context, VORTAN_HTRS07_XYZ, VORTAN_GGRS87_TM87, 0, input, output,
                            NULL, NULL, &written) == VORTAN_FILE_ERROR &&
            strstr(vortan_error_file(), "capi-bad-SXYZ.txt") != NULL &&
            vortan_error_line() == 2 && strcmp(vortan_error_field(), "Y") == 0 && written == 1,
        "field: %s (line %llu, field %s)", vortan_error_message(),
        (unsigned long long)vortan_error_line(), vortan_error_field());

  /* A point outside the grid stops the job; its id and line are named. */
  write_text(input, "P1,4382064.771,2023782.319,4155326.131\r\nFAR,6378137,0,0\r\n");
  CHECK(vortan_convert_file(context, VORTAN_HTRS07_XYZ, VORTAN_GGRS87_TM87, 0, input, output,
                            NULL, NULL, &written) == VORTAN_OUTSIDE_GRID &&
            strcmp(vortan_error_point_id(), "FAR") == 0 && vortan_error_line() == 2 &&
            written == 1,
        "outside: %s", vortan_error_message());

  /* Cancelled by the progress callback, after the first batch of a longer file. */
  FILE *f = fopen(input, "wb");
  for (int i = 0; f && i < 20000; ++i) fprintf(f, "P%d,4382064.771,2023782.319,4155326.131\r\n", i);
  if (f) fclose(f);
  CHECK(vortan_convert_file(context, VORTAN_HTRS07_XYZ, VORTAN_HTRS07_TM07, 0, input, output,
                            stop_at_once, NULL, &written) == VORTAN_CANCELLED &&
            written > 0 && written < 20000,
        "cancel: %s", vortan_error_message());

  CHECK(vortan_run_job(context, VORTAN_JOB_SXYZ_TO_GGRS87, missing, outputs, 4, NULL, NULL,
                       &written) == VORTAN_FILE_ERROR &&
            strstr(vortan_error_message(), "capi-no-such-input.txt") != NULL,
        "missing input: %s", vortan_error_message());
  CHECK(vortan_run_job(context, VORTAN_JOB_SXYZ_TO_GGRS87, input, outputs, 2, NULL, NULL,
                       NULL) == VORTAN_INVALID_ARGUMENT &&
            strstr(vortan_error_message(), "writes 4 output files, 2 were given") != NULL,
        "output count: %s", vortan_error_message());
  CHECK(vortan_run_job(context, VORTAN_JOB_SXYZ_TO_GGRS87, input, outputs, 4, NULL, NULL,
                       NULL) == VORTAN_FILE_ERROR,
        "one output given four times: %s", vortan_error_message());
  CHECK(vortan_run_job(context, 7, input, outputs, 1, NULL, NULL, NULL) ==
            VORTAN_INVALID_ARGUMENT,
        "unknown job");
  vortan_context *bare = vortan_context_new(VORTAN_MAINLAND);
  CHECK(vortan_run_job(bare, VORTAN_JOB_SXYZ_TO_GGRS87, input, outputs, 4, NULL, NULL, NULL) ==
            VORTAN_NOT_READY,
        "a job that needs the grids");
  vortan_context_free(bare);
}

int main(int argc, char **argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: capi_test REFERENCE-FOLDER WORK-FOLDER\n");
    return 2;
  }
  reference = argv[1];
  work = argv[2];
  test_names();
  test_crs();
  test_number_patterns();
  test_contexts();
  for (int region = 0; region < 2; ++region) {
    vortan_context *context = loaded_context(region);
    const char *label = vortan_region_name(region);
    test_batch(context, region, label);
    test_points(context, region, label);
    test_jobs(context, region, label);
    /* On two threads: the same numbers and files. */
    vortan_context_set_threads(context, 2);
    char threaded[64];
    snprintf(threaded, sizeof threaded, "%s-threads", label);
    test_batch(context, region, threaded);
    test_jobs(context, region, threaded);
    /* On the vector lanes: the same printed numbers. */
    CHECK(vortan_context_set_vector_lanes(context, 1) == VORTAN_OK &&
              vortan_context_set_vector_lanes(NULL, 1) == VORTAN_INVALID_ARGUMENT &&
              vortan_vector_target() != NULL,
          "vector lanes");
    char lanes[64];
    snprintf(lanes, sizeof lanes, "%s-lanes-%s", label, vortan_vector_target());
    test_batch(context, region, lanes);
    test_points(context, region, lanes);
    vortan_context_free(context);
  }
  vortan_context *mainland = loaded_context(VORTAN_MAINLAND);
  test_batch_failures(mainland);
  test_job_failures(mainland);
  vortan_context_free(mainland);
  printf("%d checks, %d failed\n", checks, failures);
  return failures == 0 ? 0 : 1;
}
