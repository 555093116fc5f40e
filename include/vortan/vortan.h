/*
 * VORTAN Transform as a C library: the official conversion between HTRS07 (ETRF2005 at epoch
 * 2007.5) and GGRS87 (EGSA87) on GRS80, with the projections TM07 and TM87, the seven-parameter
 * Helmert transformation and, on the mainland, the 2 km correction grids dE, dN. The same
 * engine as the desktop programs and the command-line tool vortan-transform: the same numbers,
 * and for record files the same bytes.
 *
 * libvortan.so on Linux, vortan.dll (import library vortan.lib, definitions vortan.def) on
 * Windows; vortan.lib is MinGW's, which Microsoft's linker takes too, and
 * "lib /def:vortan.def /machine:x64" makes Microsoft's own. Plain C types only; nothing is
 * thrown across the library. Every call that can fail
 * returns a status code (vortan_status) and leaves a message on the calling thread that names
 * what went wrong and where (file, line and field, or the point) and what to do; the
 * vortan_error_* functions read it until the thread's next call into the library.
 *
 * Units: metres; latitude and longitude in decimal degrees, latitude first (the system's own
 * order; GIS layers hold x = longitude, y = latitude). Record files are the system's SXYZ, SFLh
 * and SENh files, with packed DDMMSS.SSSSS angles.
 *
 * Strings are UTF-8 (file names too, on Windows as well). On 64-bit Windows there is one
 * calling convention, which C#, Delphi and VBA (Declare PtrSafe) all use.
 *
 * Who owns what: every string the library returns (const char *) belongs to the library and
 * is never freed by the caller. Names, CRS texts and status texts are constants, valid as long
 * as the library is loaded; the error texts and the texts of vortan_form_of_crs stay valid
 * until the calling thread's next call into the library: copy them to keep them. In C# declare
 * such a result as IntPtr and read it with Marshal.PtrToStringUTF8 (a `string` result would be
 * freed by the marshaller, with CoTaskMemFree, which must not happen). Contexts are the
 * caller's from vortan_context_new to vortan_context_free; arrays and structures are the
 * caller's throughout.
 *
 * VBA: Declare converts every String argument to the ANSI code page of Windows (Windows-1253
 * on a Greek system), not to UTF-8, so that a Greek file name arrives wrong. Pass file names
 * as a zero-ended Byte array of UTF-8 (`ByRef b(0)`, declared `ByRef name As Byte`), made with
 * WideCharToMultiByte(65001, ...) or ADODB.Stream; read returned texts from their LongPtr with
 * lstrlenA and RtlMoveMemory, then decode them as UTF-8.
 *
 * Interface versions: a call without a mark is in every version; "(since N)" marks one added
 * in version N (vortan_api_version() of the library loaded tells which it has).
 *
 * A typical use:
 *
 *   vortan_context *ctx = vortan_context_new(VORTAN_MAINLAND);
 *   if (vortan_context_load_grids(ctx, "dN_2km_V1-0.grd", "dE_2km_V1-0.grd") != VORTAN_OK)
 *     fprintf(stderr, "%s\n", vortan_error_message());
 *   int s = vortan_convert(ctx, VORTAN_HTRS07_TM07, VORTAN_GGRS87_TM87, 0, n,
 *                          e07, n07, h07, e87, n87, h87, status);
 *   vortan_context_free(ctx);
 */
#ifndef VORTAN_VORTAN_H
#define VORTAN_VORTAN_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#if defined(VORTAN_BUILDING_LIBRARY)
#define VORTAN_API __declspec(dllexport)
#else
#define VORTAN_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define VORTAN_API __attribute__((visibility("default")))
#else
#define VORTAN_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The version of this interface: calls are only ever added, never changed, within one major
 * version; vortan_api_version() of the library loaded is at least the header's. */
#define VORTAN_API_VERSION 4

/* ---------------------------------------------------------------------------------------- */
/* Codes */

/* What a call did. */
typedef enum vortan_status {
  VORTAN_OK = 0,
  VORTAN_OUTSIDE_GRID = 1,      /* a point lies outside the correction grid */
  VORTAN_NUMERIC_FAULT = 2,     /* a point's computation overflowed or was invalid: its
                                   coordinates are far outside the area served */
  VORTAN_CANCELLED = 3,         /* the progress callback asked to stop */
  VORTAN_INVALID_ARGUMENT = 4,  /* a null pointer, an unknown form, region or job, a count */
  VORTAN_NOT_READY = 5,         /* across the datum on the mainland before the grids are loaded */
  VORTAN_GRID_ERROR = 6,        /* a grid file cannot be read or is no correction grid */
  VORTAN_FILE_ERROR = 7,        /* a record file cannot be read or written, or a field in it
                                   is wrong (the message names file, line and field) */
  VORTAN_OUT_OF_MEMORY = 8,
  VORTAN_INTERNAL_ERROR = 9     /* anything else; the message says what */
} vortan_status;

/* The five coordinate forms, as vortan-transform convert names them. */
typedef enum vortan_form {
  VORTAN_HTRS07_XYZ = 0,          /* "htrs07-xyz": X, Y, Z (geocentric) */
  VORTAN_HTRS07_GEOGRAPHIC = 1,   /* "htrs07-geographic": latitude, longitude, h */
  VORTAN_HTRS07_TM07 = 2,         /* "htrs07-tm07": TM07 E, N, h */
  VORTAN_GGRS87_GEOGRAPHIC = 3,   /* "ggrs87-geographic": latitude, longitude, h */
  VORTAN_GGRS87_TM87 = 4          /* "ggrs87-tm87": TM87 E, N, h */
} vortan_form;
#define VORTAN_FORM_COUNT 5

/* The regions: their projections, parameters and (mainland only) correction grids. */
typedef enum vortan_region {
  VORTAN_MAINLAND = 0,    /* "mainland" */
  VORTAN_KASTELORIZO = 1  /* "kastelorizo": no grids, no extent test */
} vortan_region;
#define VORTAN_REGION_COUNT 2

/* The four record jobs of the data-file programs, as vortan-transform names them. */
typedef enum vortan_job {
  VORTAN_JOB_SFLH_TO_SENH = 0,    /* "sflh-to-senh": GGRS87 SFLh -> GGRS87 SENh */
  VORTAN_JOB_SENH_TO_HTRS07 = 1,  /* "senh-to-htrs07": GGRS87 SENh -> GGRS87 SFLh, HTRS07 SFL,
                                     HTRS07 SEN */
  VORTAN_JOB_SFLH_TO_SXYZ = 2,    /* "sflh-to-sxyz": HTRS07 SFLh -> HTRS07 SXYZ */
  VORTAN_JOB_SXYZ_TO_GGRS87 = 3   /* "sxyz-to-ggrs87": HTRS07 SXYZ -> HTRS07 SFLh, HTRS07 SENk,
                                     GGRS87 SFL, GGRS87 SEN */
} vortan_job;
#define VORTAN_JOB_COUNT 4

/* How one point of a batch came out (the status array of vortan_convert). */
typedef enum vortan_point_status {
  VORTAN_POINT_DONE = 0,
  VORTAN_POINT_OUTSIDE_GRID = 1,  /* its TM07 position fails the extent test of the grids */
  VORTAN_POINT_FAULT = 2,         /* a numeric fault in its computation */
  VORTAN_POINT_NO_VALUE = 3,      /* an input coordinate is NaN: the output is NaN, no failure */
  VORTAN_POINT_OUT_OF_RANGE = 4   /* a latitude beyond 90 degrees or longitude beyond 180 */
} vortan_point_status;

/* ---------------------------------------------------------------------------------------- */
/* The library */

/* "1.0.0": the version of VORTAN Transform the library belongs to. */
VORTAN_API const char *vortan_version(void);
/* VORTAN_API_VERSION of the library. */
VORTAN_API int vortan_api_version(void);

/* What a vortan_status code means, in a few English words ("the point lies outside the
 * correction grid"), for a caller that shows a code without its message; NULL for an unknown
 * code (since 4). */
VORTAN_API const char *vortan_status_string(int code);

/* Names and codes. A name of an unknown code is NULL; the code of an unknown name is -1. */
VORTAN_API const char *vortan_form_name(int form);
VORTAN_API int vortan_form_of_name(const char *name);
VORTAN_API const char *vortan_region_name(int region);
VORTAN_API int vortan_region_of_name(const char *name);
VORTAN_API const char *vortan_job_name(int job);
VORTAN_API int vortan_job_of_name(const char *name);
/* The record files of a job: how many outputs it writes (0 for an unknown job), and the
 * default file names of its input and of output i (from 0) in the region, as the data-file
 * programs preset them ("HTRS07-SXYZ.txt", on Kastelorizo "HTRS07-KAST-SXYZ.txt"). */
VORTAN_API int vortan_job_output_count(int job);
VORTAN_API const char *vortan_job_input_name(int job, int region);
VORTAN_API const char *vortan_job_output_name(int job, int output, int region);

/* The CRS of a form in a region, as the tool writes it in GIS datasets: its EPSG code (0
 * where the EPSG database has none: HTRS07 and the Kastelorizo projections), its name
 * ("HTRS07 / TM07") and its WKT2 (2019) text. NULL or 0 for an unknown form or region. */
VORTAN_API int vortan_crs_epsg(int form, int region);
VORTAN_API const char *vortan_crs_name(int form, int region);
VORTAN_API const char *vortan_crs_wkt(int form, int region);

/* The form of a CRS (since 3): which of the five forms a CRS is, and in which
 * regions, or why it is none. The same recognizer as vortan-transform's, the Python package's
 * and the QGIS plugin's, with one tolerance (a within 1 mm of GRS80's, 1/f within 1e-8, TM
 * constants within 1e-9 degrees, 1e-10 in scale and 1 mm): a CRS is taken for what it is, not
 * for how it is written. */
typedef struct vortan_crs_form {
  int form;              /* the form (vortan_form), or -1 where the CRS is none of the five */
  int regions;           /* the regions in which it is that form: bit 1 << region */
  int swapped;           /* 1 where its first two axes come in the other order than the
                            form's (longitude before latitude, N before E), else 0 */
  int fits;              /* the forms whose coordinates the CRS can hold whatever its datum
                            (its kind, units and projection constants): bit
                            1 << (form * VORTAN_REGION_COUNT + region) */
  const char *name;      /* its name ("GGRS87 / Greek Grid"), "" where it has none */
  const char *reason;    /* why it is none, in English ("" for a form) */
  const char *reason_el; /* the same in Greek */
} vortan_crs_form;

/* Fills *out with the form of crs: a WKT1, WKT2 or ESRI .prj text, an EPSG code ("EPSG:2100",
 * "2100", "urn:ogc:def:crs:EPSG::2100") or a PROJ string ("+proj=tmerc +lon_0=24 ..."). region
 * -1 for any region, else the form only where it is one in that region (a form of the other
 * region is none, with a reason that says so). A CRS that is none of the forms is VORTAN_OK
 * too, with form -1 and the reason; VORTAN_INVALID_ARGUMENT for a null pointer or an unknown
 * region. The texts of *out stay valid until the thread's next call into the library. */
VORTAN_API int vortan_form_of_crs(const char *crs, int region, vortan_crs_form *out);

/* Writes value as the system writes numbers, with a format pattern of zeros and one point:
 * ".000" (metres: 0.25 as ".250"), ".00000" (packed angles, seconds), "0.000000" (scale
 * factor), "000.0" (corrections in cm), "00" (degrees, minutes). Rounds to the decimals
 * shown; always "." as the decimal point. Writes at most size - 1 characters and a NUL into
 * buffer and returns the length of the whole text (as snprintf), or -1 with
 * VORTAN_INVALID_ARGUMENT for a pattern that is none. */
VORTAN_API int vortan_format_number(double value, const char *pattern, char *buffer, size_t size);

/* ---------------------------------------------------------------------------------------- */
/* Errors: the outcome of the calling thread's last call that returns a vortan_status */

/* The code, and the whole message for the user: what, where and what to do ("" after a call
 * that succeeded). The texts stay valid until the thread's next call into the library. */
VORTAN_API int vortan_error_code(void);
VORTAN_API const char *vortan_error_message(void);
/* Where, each where it applies: the file as the message names it ("" where none), its line
 * (0 where none), the field ("E", "φ", "value 17", ...; "" where none), the id of the point
 * of a record file that stopped a job ("" where none), and the index (from 0) of the first
 * point of a batch that failed (-1 where none). */
VORTAN_API const char *vortan_error_file(void);
VORTAN_API uint64_t vortan_error_line(void);
VORTAN_API const char *vortan_error_field(void);
VORTAN_API const char *vortan_error_point_id(void);
VORTAN_API int64_t vortan_error_index(void);

/* ---------------------------------------------------------------------------------------- */
/* The context: region, parameters and grids */

typedef struct vortan_context vortan_context;

/* A context for the region, with the region's seven parameters stored: ready for every
 * conversion on Kastelorizo and, on the mainland, for every conversion within one system;
 * across the datum the mainland needs the grids. NULL for an unknown region or without memory
 * (the thread's error says which). */
VORTAN_API vortan_context *vortan_context_new(int region);
/* Frees the context (NULL is allowed). No call may be running on it. */
VORTAN_API void vortan_context_free(vortan_context *context);

/* Loads the dN and dE correction grid files ("dN_2km_V1-0.grd", "dE_2km_V1-0.grd"), which
 * replace any grids loaded before. On failure (VORTAN_GRID_ERROR: the message names the file,
 * the line and the value) the context has no grids. On Kastelorizo there is nothing to load:
 * VORTAN_OK, nothing is read. */
VORTAN_API int vortan_context_load_grids(vortan_context *context, const char *dn_path,
                                         const char *de_path);
/* The same from the bytes of the two grid files held in memory (read from a database, sent
 * over a network); the bytes are copied. */
VORTAN_API int vortan_context_load_grids_from_bytes(vortan_context *context, const void *dn,
                                                    size_t dn_size, const void *de,
                                                    size_t de_size);
/* 1 when conversions across the datum can run (grids loaded, or a region without grids), else
 * 0; 0 for NULL. */
VORTAN_API int vortan_context_ready(const vortan_context *context);
/* The region of the context; -1 for NULL. */
VORTAN_API int vortan_context_region(const vortan_context *context);
/* Threads that vortan_convert and the record calls compute on: 1 (the default) to 256, or 0
 * for every core of the machine. The results do not depend on it, nor on the x87 control word
 * of the calling thread, nor on the build: the library computes its sines, cosines,
 * arctangents, exponentials and logarithms itself, in plain operations in a fixed order, so
 * that vortan.dll, libvortan.so on x86-64 and on aarch64 and the browser's module give the same
 * bits. */
VORTAN_API int vortan_context_set_threads(vortan_context *context, int threads);
/* With on nonzero, vortan_convert and vortan_convert_point compute on the processor's vector
 * lanes (vortan_vector_target()), several points at once: within 1e-12 m or rad of the plain
 * routines, whose last bits are the same on every processor (vortan.dll: see above). Off (0)
 * is the default. The record calls print numbers to their decimals, the same either way, and
 * always use the lanes where they run. */
VORTAN_API int vortan_context_set_vector_lanes(vortan_context *context, int on);  /* since 2 */
/* The vector target the lanes run on ("AVX3", "AVX2", "SSE4"), or "none" (since 2). */
VORTAN_API const char *vortan_vector_target(void);

/* A context may serve calls from several threads at once once its grids are loaded; loading
 * grids and setting threads must not overlap other calls on the same context. */

/* ---------------------------------------------------------------------------------------- */
/* Conversions */

/* Converts n points from one form into another: a, b, c are the three coordinates in the
 * form's order (X, Y, Z; latitude, longitude, h; E, N, h), out_a, out_b, out_c receive those
 * of the target form. Across the datum the third output is the target system's ellipsoidal
 * height from the Helmert step, or, with keep_heights nonzero, the input height unchanged (for
 * orthometric heights, which the two systems share).
 *
 * c may be NULL: every h is 0 (2D data; not for X, Y, Z). out_c may be NULL: the heights are
 * not wanted. Outputs may be the inputs (converted in place). status may be NULL; else it
 * receives each point's vortan_point_status.
 *
 * Every point is converted; a point that fails gets NaN in its outputs. Returns VORTAN_OK when
 * none failed (NaN inputs give NaN outputs and are no failure), else the code of the first
 * that failed (VORTAN_OUTSIDE_GRID, VORTAN_NUMERIC_FAULT) with its index in
 * vortan_error_index() and the other failures in status; VORTAN_NOT_READY across the datum on
 * the mainland without grids. */
VORTAN_API int vortan_convert(const vortan_context *context, int from, int to,
                              int keep_heights, size_t n, const double *a, const double *b,
                              const double *c, double *out_a, double *out_b, double *out_c,
                              uint8_t *status);

/* An angle as the single-point windows show it: whole degrees, whole minutes and seconds, and
 * the packed DDMMSS.SSSSS value. */
typedef struct vortan_dms {
  int degrees;
  int minutes;
  double seconds;
  double packed;
} vortan_dms;

/* One point in every form, with what the single-point windows show beside the coordinates.
 * Its layout, the same on 64-bit Linux and Windows (LayoutKind.Sequential in C#, a record
 * without packed in Delphi): values at offset 0 (120 bytes), status at 120 (20 bytes), four
 * bytes of padding at 140 that the compiler adds before the doubles of vortan_dms (24 bytes
 * each, no padding: htrs07_latitude at 144, htrs07_longitude 168, ggrs87_latitude 192,
 * ggrs87_longitude 216), tm07_scale at 240, de_cm 248, dn_cm 256; 264 bytes in all. A
 * language that lays out by hand puts the padding in itself. */
typedef struct vortan_point {
  double values[VORTAN_FORM_COUNT][3];  /* each form, indexed by vortan_form; degrees */
  int status[VORTAN_FORM_COUNT];        /* each form: vortan_point_status; NaN values where
                                           not done */
  vortan_dms htrs07_latitude, htrs07_longitude;
  vortan_dms ggrs87_latitude, ggrs87_longitude;
  double tm07_scale;  /* TM07 point scale factor at the point (NaN where not computed) */
  /* The grid corrections in centimetres as the windows show them: from an HTRS07 form the
   * grid values added to TM87 E, N; from a GGRS87 form the negated values added to TM07 E, N;
   * 0 on Kastelorizo; NaN where not computed. */
  double de_cm, dn_cm;
} vortan_point;

/* Converts one point given in the form `from` into all five forms. With packed_angles nonzero
 * a geographic input gives latitude and longitude as packed DDMMSS.SSSSS, as the windows and
 * the record files take them; else in decimal degrees. Returns VORTAN_OK, or the code of the
 * first form that failed (the other forms are filled where they converted). */
VORTAN_API int vortan_convert_point(const vortan_context *context, int from, int keep_heights,
                                    int packed_angles, const double in[3], vortan_point *out);

/* ---------------------------------------------------------------------------------------- */
/* Record files */

/* Called on the calling thread as a job goes on: points done, bytes of the input read and its
 * size (0 where unknown). Returning nonzero stops the job (VORTAN_CANCELLED). */
typedef int (*vortan_progress_fn)(uint64_t points_done, uint64_t bytes_read,
                                  uint64_t bytes_total, void *user);

/* Runs a record job from its input file into its output files (vortan_job_output_count of
 * them, in the job's order), writing the same files as vortan-transform and the data-file
 * programs. No output may be the input, a grid file or another output; every output is checked
 * before any is emptied. progress may be NULL. points_written (may be NULL) receives the points
 * whose lines are in every output. A stop leaves the complete lines written before it:
 * VORTAN_OUTSIDE_GRID (the point's id and line in the error), VORTAN_FILE_ERROR (file, line,
 * field), VORTAN_CANCELLED. */
VORTAN_API int vortan_run_job(const vortan_context *context, int job, const char *input,
                              const char *const *outputs, size_t output_count,
                              vortan_progress_fn progress, void *user,
                              uint64_t *points_written);

/* convert on record files: a record file of one form (SXYZ for X, Y, Z, SFLh for latitude,
 * longitude and h, SENh for E, N, h) into a record file of another, as vortan-transform
 * convert writes it. Otherwise as vortan_run_job. */
VORTAN_API int vortan_convert_file(const vortan_context *context, int from, int to,
                                   int keep_heights, const char *input, const char *output,
                                   vortan_progress_fn progress, void *user,
                                   uint64_t *points_written);

#ifdef __cplusplus
}
#endif

#endif /* VORTAN_VORTAN_H */
