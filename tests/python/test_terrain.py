"""A terrain through 16-bit PNG and HMP7 files and back."""
import numpy as np

import terrain_toolkit as tt


def test_terrain_round_trip_through_png16_and_hmp7(tmp_path):
    # Heights on the packing's own steps between the range's ends, different
    # in every row and column, so a flipped or shifted grid shows.
    low, step = -100.0, 0.5
    packed = np.array([[0, 1, 2, 3, 65535], [7, 300, 40000, 5, 6], [65534, 9, 10, 11, 12]], dtype=np.int64)
    heights = low + packed * step
    high = low + 65535 * step

    tt.save_terrain(tmp_path / "a.png", heights, range=(low, high))
    png = tt.load_terrain(tmp_path / "a.png", range=(low, high))
    assert png.format == "PNG" and png.range == (low, high)
    np.testing.assert_allclose(png.heights, heights, rtol=0, atol=1e-9)

    tt.save_terrain(tmp_path / "a.hmp", png, spacing=2.0)
    hmp = tt.load_terrain(tmp_path / "a.hmp")
    assert hmp.format == "HMP" and hmp.hmp["magic"] == "HMP7"
    assert hmp.spacing == (2.0, 2.0)
    # The header's scale and offset are 32-bit floats: heights come back
    # within a fraction of a step.
    np.testing.assert_allclose(hmp.heights, heights, rtol=0, atol=step / 100)

    # The HMP file's packed heights go on to PNG unchanged, so reading them
    # with the file's range gives its heights again.
    tt.save_terrain(tmp_path / "b.png", hmp)
    again = tt.load_terrain(tmp_path / "b.png", range=hmp.range)
    np.testing.assert_allclose(again.heights, hmp.heights, rtol=0, atol=1e-9)

    # Heights changed after reading are the ones written, packed anew
    # between their own lowest and highest.
    hmp.heights[1, 2] = low - 100.0
    tt.save_terrain(tmp_path / "c.png", hmp)
    changed = tt.load_terrain(tmp_path / "c.png", range=(low - 100.0, hmp.heights.max()))
    np.testing.assert_allclose(changed.heights, hmp.heights, rtol=0, atol=step)
