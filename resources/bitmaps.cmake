# The bitmap resources compiled into the plug-in: resource id, then the BMP file relative to the
# top of the source tree. `make bitmaps` redraws the files.
set(QUORVANE_BITMAPS
    128 resources/bmp/128.bmp
    129 resources/bmp/129.bmp
    130 resources/bmp/130.bmp
    131 resources/bmp/131.bmp
    132 resources/bmp/132.bmp
    133 resources/bmp/133.bmp
    134 resources/bmp/134.bmp
)
