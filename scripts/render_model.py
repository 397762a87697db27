#!/usr/bin/env python3
"""Renders input.vtu, coloured by one of its cell arrays, into a PNG image.

  render_model.py INPUT.VTU OUTPUT.PNG [ARRAY]

ARRAY is a cell array of input.vtu: bc_kind (the default), bc_value,
element or defect.  VTK renders off screen; where its OpenGL needs a
display, run the script under xvfb-run.
"""

import sys

from vtkmodules.vtkCommonColor import vtkNamedColors
from vtkmodules.vtkCommonCore import vtkLookupTable
from vtkmodules.vtkIOImage import vtkPNGWriter
from vtkmodules.vtkIOXML import vtkXMLUnstructuredGridReader
from vtkmodules.vtkRenderingAnnotation import vtkScalarBarActor
from vtkmodules.vtkRenderingCore import (vtkActor, vtkDataSetMapper, vtkRenderer, vtkRenderWindow,
                                         vtkWindowToImageFilter)
import vtkmodules.vtkRenderingOpenGL2  # noqa: F401  (the rendering back end)

KIND_COLOURS = [("field cell", (0.75, 0.75, 0.75)), ("potential", (0.85, 0.33, 0.1)),
                ("flux", (0.2, 0.45, 0.75))]


def main(source, target, array="bc_kind"):
    reader = vtkXMLUnstructuredGridReader()
    reader.SetFileName(source)
    reader.Update()
    grid = reader.GetOutput()
    grid.GetCellData().SetActiveScalars(array)
    low, high = grid.GetCellData().GetArray(array).GetRange()

    table = vtkLookupTable()
    if array == "bc_kind":
        table.SetNumberOfTableValues(len(KIND_COLOURS))
        for k, (name, rgb) in enumerate(KIND_COLOURS):
            table.SetTableValue(k, *rgb, 1.0)
            table.SetAnnotation(k, "%d %s" % (k, name))
        table.IndexedLookupOn()
        low, high = 0, len(KIND_COLOURS) - 1
    else:
        table.SetHueRange(0.667, 0.0)
    table.SetRange(low, high)
    table.Build()

    mapper = vtkDataSetMapper()
    mapper.SetInputData(grid)
    mapper.SetScalarModeToUseCellData()
    mapper.SetLookupTable(table)
    mapper.SetScalarRange(low, high)
    actor = vtkActor()
    actor.SetMapper(mapper)
    actor.GetProperty().EdgeVisibilityOn()
    actor.GetProperty().SetEdgeColor(0.15, 0.15, 0.15)

    bar = vtkScalarBarActor()
    bar.SetLookupTable(table)
    bar.SetTitle(array)
    bar.SetNumberOfLabels(len(KIND_COLOURS) if array == "bc_kind" else 5)
    bar.SetWidth(0.1)
    bar.SetHeight(0.45)
    bar.SetPosition(0.88, 0.3)
    for text in (bar.GetTitleTextProperty(), bar.GetLabelTextProperty(),
                 bar.GetAnnotationTextProperty()):
        text.SetColor(0.1, 0.1, 0.1)
        text.ItalicOff()
        text.ShadowOff()
        text.SetFontSize(14)

    renderer = vtkRenderer()
    renderer.AddActor(actor)
    renderer.AddViewProp(bar)
    renderer.SetBackground(vtkNamedColors().GetColor3d("White"))
    camera = renderer.GetActiveCamera()
    camera.Azimuth(35)
    camera.Elevation(25)
    renderer.ResetCamera()
    camera.Zoom(1.1)

    window = vtkRenderWindow()
    window.SetOffScreenRendering(1)
    window.AddRenderer(renderer)
    window.SetSize(960, 600)
    window.Render()

    image = vtkWindowToImageFilter()
    image.SetInput(window)
    image.Update()
    writer = vtkPNGWriter()
    writer.SetFileName(target)
    writer.SetInputConnection(image.GetOutputPort())
    writer.Write()


if __name__ == "__main__":
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    main(*sys.argv[1:])
