"""The plugin's texts in English and Greek: Greek where QGIS runs in Greek (its user locale
"el"), English otherwise. Names of forms, regions, jobs and parameters stay as they are."""

from qgis.core import QgsSettings
from qgis.PyQt.QtCore import QLocale

TEXTS = {
    # The provider and its algorithms.
    "provider": ("VORTAN Transform", "VORTAN Μετασχηματισμός"),
    "group": ("HTRS07 ⇄ GGRS87", "HTRS07 ⇄ ΕΓΣΑ87"),
    "convertlayer": ("Convert layer (HTRS07 ⇄ GGRS87, official)",
                     "Μετασχηματισμός επιπέδου (HTRS07 ⇄ ΕΓΣΑ87, επίσημος)"),
    "convertpoint": ("Convert a point", "Μετασχηματισμός σημείου"),
    "convertrecordfile": ("Convert a record file", "Μετασχηματισμός αρχείου συντεταγμένων"),
    # Parameters.
    "INPUT_LAYER": ("Input layer", "Επίπεδο εισόδου"),
    "SOURCE_FORM": ("Source form (empty: from the layer's CRS)",
                    "Μορφή εισόδου (κενό: από το σύστημα αναφοράς του επιπέδου)"),
    "SOURCE_FORM_POINT": ("Form of the point", "Μορφή του σημείου"),
    "SOURCE_FORM_FILE": ("Source form (convert only)", "Μορφή εισόδου (μόνο για convert)"),
    "TARGET_FORM": ("Target form", "Μορφή εξόδου"),
    "TARGET_FORM_FILE": ("Target form (convert only)", "Μορφή εξόδου (μόνο για convert)"),
    "REGION": ("Region", "Περιοχή"),
    "DN_GRID": ("dN correction grid (dN_2km_V1-0.grd)", "Κάνναβος διορθώσεων dN (dN_2km_V1-0.grd)"),
    "DE_GRID": ("dE correction grid (dE_2km_V1-0.grd)", "Κάνναβος διορθώσεων dE (dE_2km_V1-0.grd)"),
    "KEEP_HEIGHTS": ("Keep heights (z unchanged across the datum: orthometric heights)",
                     "Διατήρηση υψών (z αμετάβλητο: ορθομετρικά ύψη)"),
    "OUTSIDE": ("Points outside the correction grid", "Σημεία εκτός του καννάβου"),
    "OUTPUT_LAYER": ("Converted", "Μετασχηματισμένο"),
    "SKIPPED": ("Features left out (outside the grid)", "Στοιχεία που παραλείφθηκαν (εκτός καννάβου)"),
    "COORDINATE_1": ("X, φ or E", "X, φ ή E"),
    "COORDINATE_2": ("Y, λ or N", "Y, λ ή N"),
    "COORDINATE_3": ("Z or h", "Z ή h"),
    "ANGLES": ("Latitude and longitude given as", "Το πλάτος και το μήκος δίνονται ως"),
    "JOB": ("Job", "Εργασία"),
    "INPUT_FILE": ("Input record file", "Αρχείο εισόδου"),
    "OUTPUT_FILE": ("Output file", "Αρχείο εξόδου"),
    "OUTPUT_FILE_N": ("Output file {n} (empty: the job's default name beside the first)",
                      "Αρχείο εξόδου {n} (κενό: το προεπιλεγμένο όνομα δίπλα στο πρώτο)"),
    "REPORT": ("The point in every form", "Το σημείο σε κάθε μορφή"),
    "FEATURES": ("Features written", "Στοιχεία που γράφτηκαν"),
    "SKIPPED_COUNT": ("Features left out", "Στοιχεία που παραλείφθηκαν"),
    "POINTS": ("Points written", "Σημεία που γράφτηκαν"),
    # Help.
    "help_layer": (
        "Converts every vertex of a vector layer between the HTRS07 and GGRS87 (EGSA87) forms "
        "with the official seven-parameter transformation and, on the mainland, the dE, dN "
        "correction grids: the same numbers as vortan-transform convert. Attributes, feature "
        "order and geometry types are kept; the output carries the target form's CRS. The "
        "source form comes from the layer's CRS when it is EPSG:2100, EPSG:4121 or an HTRS07 "
        "CRS; otherwise give it. 2D geometries are computed with h = 0 and stay 2D. A feature "
        "with a vertex outside the grid stops the conversion, or with 'skip' goes to the second "
        "output.",
        "Μετασχηματίζει κάθε κορυφή ενός διανυσματικού επιπέδου μεταξύ των μορφών HTRS07 και "
        "ΕΓΣΑ87 με τον επίσημο μετασχηματισμό επτά παραμέτρων και, στην ηπειρωτική χώρα, τους "
        "διορθωτικούς καννάβους dE, dN: τα ίδια νούμερα με το vortan-transform convert. Τα "
        "περιγραφικά στοιχεία, η σειρά και οι τύποι γεωμετρίας διατηρούνται· η έξοδος έχει το "
        "σύστημα αναφοράς της μορφής εξόδου. Η μορφή εισόδου προκύπτει από το σύστημα αναφοράς "
        "του επιπέδου όταν είναι EPSG:2100, EPSG:4121 ή σύστημα HTRS07· αλλιώς δώστε τη. Οι "
        "γεωμετρίες 2Δ υπολογίζονται με h = 0 και μένουν 2Δ. Ένα στοιχείο με κορυφή εκτός "
        "καννάβου σταματά τον μετασχηματισμό ή, με 'skip', πηγαίνει στη δεύτερη έξοδο."),
    "help_point": (
        "Converts one point from any of the five forms into every form, as the single-point "
        "windows show them: HTRS07 X, Y, Z; HTRS07 φ, λ, h; TM07 E, N with the point scale "
        "factor; GGRS87 φ, λ, h; TM87 E, N; and the grid corrections dE, dN in centimetres. "
        "Latitude and longitude in DDMMSS.SSSSS (as the windows take them) or decimal degrees.",
        "Μετασχηματίζει ένα σημείο από οποιαδήποτε από τις πέντε μορφές σε όλες, όπως τις "
        "δείχνουν τα παράθυρα μεμονωμένων σημείων: HTRS07 X, Y, Z· HTRS07 φ, λ, h· TM07 E, N με "
        "τον συντελεστή κλίμακας· ΕΓΣΑ87 φ, λ, h· TM87 E, N· και τις διορθώσεις καννάβου dE, dN "
        "σε εκατοστά. Πλάτος και μήκος σε ΜΜΛΛΔΔ.ΔΔΔΔΔ (όπως στα παράθυρα) ή σε δεκαδικές μοίρες."),
    "help_file": (
        "Runs one of the four jobs of the data-file programs, or convert between two forms, on "
        "the system's record files (SXYZ, SFLh, SENh), writing the same files as "
        "vortan-transform: one line per point, fields joined by commas, CR LF.",
        "Εκτελεί μία από τις τέσσερις εργασίες των προγραμμάτων αρχείων, ή το convert μεταξύ "
        "δύο μορφών, σε αρχεία συντεταγμένων του συστήματος (SXYZ, SFLh, SENh), και γράφει τα "
        "ίδια αρχεία με το vortan-transform: μία γραμμή ανά σημείο, πεδία με κόμμα, CR LF."),
    # Messages.
    "library_missing": (
        "VORTAN Transform cannot run: {reason}",
        "Το VORTAN Transform δεν μπορεί να εκτελεστεί: {reason}"),
    "grids_needed": (
        "The conversion crosses the datum on the mainland and needs the correction grids: give "
        "the dN and dE grid files (dN_2km_V1-0.grd, dE_2km_V1-0.grd).",
        "Ο μετασχηματισμός περνά από το ένα σύστημα στο άλλο στην ηπειρωτική χώρα και "
        "χρειάζεται τους καννάβους διορθώσεων: δώστε τα αρχεία dN και dE (dN_2km_V1-0.grd, "
        "dE_2km_V1-0.grd)."),
    "form_from_crs": ("Layer '{layer}': source form {form}, from its CRS {crs}.",
                      "Επίπεδο '{layer}': μορφή εισόδου {form}, από το σύστημα αναφοράς {crs}."),
    "form_given": ("Layer '{layer}': its CRS {crs} is taken as {form}, as the source form says.",
                   "Επίπεδο '{layer}': το σύστημα αναφοράς {crs} λαμβάνεται ως {form}, όπως λέει η "
                   "μορφή εισόδου."),
    "contradicting_crs": (
        "Layer '{layer}' is in {crs}, which is {found}, but the source form says {given}: leave "
        "the source form empty to take the form of the CRS, or correct it.",
        "Το επίπεδο '{layer}' είναι σε {crs}, δηλαδή {found}, αλλά η μορφή εισόδου λέει {given}: "
        "αφήστε τη μορφή εισόδου κενή για να ληφθεί από το σύστημα αναφοράς, ή διορθώστε τη."),
    "crs_cannot_hold": (
        "Layer '{layer}' is in {crs}, which cannot hold {given} coordinates: convert it into one "
        "of the five forms first, or correct the source form.",
        "Το επίπεδο '{layer}' είναι σε {crs}, που δεν μπορεί να έχει συντεταγμένες {given}: "
        "μετατρέψτε το πρώτα σε μία από τις πέντε μορφές, ή διορθώστε τη μορφή εισόδου."),
    "crs_unknown": (
        "Layer '{layer}' is in {crs}, which is none of the five forms{region} ({why}): give the "
        "source form if its coordinates are one of them ({forms}).",
        "Το επίπεδο '{layer}' είναι σε {crs}, που δεν είναι καμία από τις πέντε μορφές{region} "
        "({why}): "
        "δώστε τη μορφή εισόδου αν οι συντεταγμένες του είναι μία από αυτές ({forms})."),
    "crs_none": (
        "Layer '{layer}' has no CRS: give the source form of its coordinates ({forms}).",
        "Το επίπεδο '{layer}' δεν έχει σύστημα αναφοράς: δώστε τη μορφή των συντεταγμένων του "
        "({forms})."),
    "xyz_needs_3d": (
        "Layer '{layer}', feature {fid}: a 2D geometry cannot hold X, Y, Z; give the source "
        "form of its coordinates.",
        "Επίπεδο '{layer}', στοιχείο {fid}: μια γεωμετρία 2Δ δεν μπορεί να έχει X, Y, Z· δώστε "
        "τη μορφή των συντεταγμένων της."),
    "bad_geometry": (
        "Layer '{layer}', feature {fid}: {reason}; convert it to lines or polygons first.",
        "Επίπεδο '{layer}', στοιχείο {fid}: {reason}· μετατρέψτε το πρώτα σε γραμμές ή πολύγωνα."),
    "outside_stop": (
        "{where}: outside the correction grid. The conversion stopped there; choose 'skip' for "
        "points outside the grid to leave out such features.",
        "{where}: εκτός του καννάβου διορθώσεων. Ο μετασχηματισμός σταμάτησε εκεί· επιλέξτε "
        "'skip' για τα σημεία εκτός καννάβου ώστε να παραλείπονται τέτοια στοιχεία."),
    "incomplete": (
        "The output holds only the {n} features written before, and is incomplete.",
        "Η έξοδος περιέχει μόνο τα {n} στοιχεία που γράφτηκαν πριν, και είναι ελλιπής."),
    "no_value": ("{where}: a coordinate is not a number (NaN); correct the geometry.",
                 "{where}: μια συντεταγμένη δεν είναι αριθμός (NaN)· διορθώστε τη γεωμετρία."),
    "out_of_range": ("{where}: a latitude beyond ±90° or a longitude beyond ±180° is no point "
                     "of the Earth: are the coordinates {form}, with latitude and longitude in "
                     "their places?",
                     "{where}: γεωγραφικό πλάτος πέρα από ±90° ή μήκος πέρα από ±180° δεν είναι "
                     "σημείο της Γης: είναι οι συντεταγμένες {form}, με το πλάτος και το μήκος "
                     "στη θέση τους;"),
    "fault": ("{where}: the conversion fails there (a numeric fault); the coordinates are not "
              "{form} coordinates.",
              "{where}: ο μετασχηματισμός αποτυγχάνει εκεί (αριθμητικό σφάλμα)· οι συντεταγμένες "
              "δεν είναι συντεταγμένες {form}."),
    "where": ("Layer '{layer}', feature {fid}", "Επίπεδο '{layer}', στοιχείο {fid}"),
    "vertex": (", vertex {n}", ", κορυφή {n}"),
    "skipped": ("{n} feature(s) outside the grid left out (FID {fids}).",
                "{n} στοιχείο(α) εκτός καννάβου παραλείφθηκαν (FID {fids})."),
    "done_layer": ("{features} features written ({points} vertices converted to {form}).",
                   "Γράφτηκαν {features} στοιχεία ({points} κορυφές σε {form})."),
    "cancelled": ("Cancelled after {features} features.",
                  "Ακυρώθηκε μετά από {features} στοιχεία."),
    "convert_needs_forms": ("convert needs the source form and the target form.",
                            "Το convert χρειάζεται τη μορφή εισόδου και τη μορφή εξόδου."),
    "degrees_as_packed": (
        "{name} {value} is less than a minute of arc as DDMMSS.SSSSS: decimal degrees? Give "
        "the angle as DDMMSS.SSSSS (40°54'53.906\" is 405453.906) or choose 'degrees' for the "
        "angles.",
        "Το {name} {value} είναι λιγότερο από ένα πρώτο λεπτό ως ΜΜΛΛΔΔ.ΔΔΔΔΔ: δεκαδικές μοίρες; "
        "Δώστε τη γωνία ως ΜΜΛΛΔΔ.ΔΔΔΔΔ (40°54'53.906\" είναι 405453.906) ή επιλέξτε 'degrees' "
        "για τις γωνίες."),
    "done_file": ("{points} points written to {files}.", "Γράφτηκαν {points} σημεία στα {files}."),
}

# The rows of the point report, as the single-point windows name their groups.
REPORT_ROWS = {
    "htrs07-xyz": ("HTRS07 X, Y, Z", "HTRS07 X, Y, Z"),
    "htrs07-geographic": ("HTRS07 φ, λ, h", "HTRS07 φ, λ, h"),
    "htrs07-tm07": ("HTRS07 TM07 E, N, k", "HTRS07 TM07 E, N, k"),
    "ggrs87-geographic": ("GGRS87 φ, λ, h", "ΕΓΣΑ87 φ, λ, h"),
    "ggrs87-tm87": ("GGRS87 TM87 E, N, h", "ΕΓΣΑ87 TM87 E, N, h"),
    "corrections": ("Grid corrections dE, dN [cm]", "Διορθώσεις καννάβου dE, dN [cm]"),
}


def greek():
    """Whether QGIS speaks Greek: the language chosen in its settings, else the system's."""
    settings = QgsSettings()
    locale = QLocale().name()
    if str(settings.value("locale/overrideFlag", False)).lower() in ("true", "1"):
        locale = settings.value("locale/userLocale", "") or locale
    return str(locale).lower().startswith("el")


def tr(key, **values):
    english, greek_text = TEXTS[key]
    text = greek_text if greek() else english
    return text.format(**values) if values else text


def row(key):
    english, greek_text = REPORT_ROWS[key]
    return greek_text if greek() else english
