#!/usr/bin/python3
"""Times VTK on the skin of a solid mesh: reading a .vtu file with
vtkXMLUnstructuredGridReader, then vtkDataSetSurfaceFilter on the grid read.

usage: vtk_surface.py FILE.vtu

Prints one line of name=value fields: the seconds of each step (wall clock),
the grid's points and cells, the skin's cells and points, the skin's cells by
VTK cell type (type:count, comma separated) and the process's peak resident
set in MiB.
"""
import collections
import resource
import sys
import time

from vtkmodules.vtkFiltersGeometry import vtkDataSetSurfaceFilter
from vtkmodules.vtkIOXML import vtkXMLUnstructuredGridReader


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__.strip())
    reader = vtkXMLUnstructuredGridReader()
    reader.SetFileName(sys.argv[1])
    t0 = time.perf_counter()
    reader.Update()
    t1 = time.perf_counter()
    grid = reader.GetOutput()
    if grid.GetNumberOfCells() == 0:
        sys.exit(f"vtk_surface.py: no cells read from {sys.argv[1]}")

    surface = vtkDataSetSurfaceFilter()
    surface.SetInputData(grid)
    t2 = time.perf_counter()
    surface.Update()
    t3 = time.perf_counter()
    skin = surface.GetOutput()

    types = collections.Counter(skin.GetCellType(k) for k in range(skin.GetNumberOfCells()))
    peak_mib = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024
    print(f"read_s={t1 - t0:.3f} filter_s={t3 - t2:.3f} "
          f"points={grid.GetNumberOfPoints()} cells={grid.GetNumberOfCells()} "
          f"skin_cells={skin.GetNumberOfCells()} skin_points={skin.GetNumberOfPoints()} "
          f"skin_types={','.join(f'{t}:{n}' for t, n in sorted(types.items()))} "
          f"peak_mib={peak_mib:.1f}")


if __name__ == "__main__":
    main()
