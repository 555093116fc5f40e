"""VORTAN Transform for QGIS: the official HTRS07 <-> GGRS87 (EGSA87) conversion as a
Processing provider over the VORTAN C library (library.py)."""


def classFactory(iface):
    from .plugin import VortanTransformPlugin
    return VortanTransformPlugin(iface)
