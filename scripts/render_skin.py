"""Renders a solid model's skin from input.vtu with ParaView, coloured by bc_value.

  pvbatch --force-offscreen-rendering render_skin.py INPUT.VTU OUTPUT.PNG

The triangles are drawn with their edges on a diverging colour map centred
on 0, so that potentials (positive here) and prescribed fluxes (negative)
stand apart from the flux-0 triangles that no condition named.  The camera
looks from the +x, +y, +z side, where the example's two loaded end faces
(x = 3 and y = 3) both face it.
"""

import sys

from paraview.simple import (ColorBy, GetActiveViewOrCreate, GetColorTransferFunction,
                             GetScalarBar, Render, SaveScreenshot, Show,
                             XMLUnstructuredGridReader)

ARRAY = "bc_value"


def main(source, target):
    reader = XMLUnstructuredGridReader(FileName=[source])
    reader.CellArrayStatus = [ARRAY]
    reader.UpdatePipeline()
    low, high = reader.CellData[ARRAY].GetRange()
    span = max(abs(low), abs(high), 1.0)

    view = GetActiveViewOrCreate("RenderView")
    view.ViewSize = [800, 600]
    view.OrientationAxesVisibility = 1
    if hasattr(view, "UseColorPaletteForBackground"):
        view.UseColorPaletteForBackground = 0
    view.Background = [1.0, 1.0, 1.0]

    display = Show(reader, view)
    display.SetRepresentationType("Surface With Edges")
    display.EdgeColor = [0.2, 0.2, 0.2]
    # The end faces stand at a steep angle to the head light: some ambient
    # light keeps their colours readable.
    display.Ambient = 0.35
    display.Diffuse = 0.75
    ColorBy(display, ("CELLS", ARRAY))
    colours = GetColorTransferFunction(ARRAY)
    colours.ApplyPreset("Cool to Warm", True)
    colours.RescaleTransferFunction(-span, span)
    colours.AutomaticRescaleRangeMode = "Never"

    bar = GetScalarBar(colours, view)
    bar.Title = ARRAY
    bar.ComponentTitle = ""
    bar.TitleColor = [0.1, 0.1, 0.1]
    bar.LabelColor = [0.1, 0.1, 0.1]
    bar.TitleFontSize = 16
    bar.LabelFontSize = 14
    bar.RangeLabelFormat = "%.0f"
    bar.LabelFormat = "%.0f"
    bar.Visibility = 1
    display.SetScalarBarVisibility(view, True)

    # The first render resets the camera to see everything: render once
    # before placing it.
    Render(view)
    bounds = reader.GetDataInformation().GetBounds()
    centre = [(bounds[2 * a] + bounds[2 * a + 1]) / 2 for a in range(3)]
    size = max(bounds[2 * a + 1] - bounds[2 * a] for a in range(3))
    camera = view.GetActiveCamera()
    camera.SetFocalPoint(*centre)
    camera.SetPosition(centre[0] + 1.6 * size, centre[1] + 1.3 * size, centre[2] + 1.0 * size)
    camera.SetViewUp(0.0, 0.0, 1.0)
    view.ResetCamera(False)
    camera.Zoom(1.12)
    Render(view)
    SaveScreenshot(target, view, ImageResolution=[800, 600])


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(*sys.argv[1:])
