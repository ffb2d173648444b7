"""A terrain through 16-bit PNG and HMP7 files and back."""
import numpy as np
import pytest

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


def test_heights_written_with_an_hmp_header_keep_its_steps(tmp_path):
    header = {"scale": (0.5, 0.25, 0.25), "offset": (-80.0, -40.0, -10.0), "param0": 3.0}
    packed = np.array([[0, 1, 2], [40000, 65535, 7]])
    # Nudged by less than half a step, and beyond the top, which stops at 65535.
    heights = (-10.0 + 0.25 * packed + np.array([[0.1, -0.1, 0.0], [0.12, 5.0, -0.12]])).astype(np.float32)
    tt.save_terrain(tmp_path / "a.hmp", heights, hmp=header, spacing=3.0)
    back = tt.load_terrain(tmp_path / "a.hmp")
    assert back.heights.tolist() == (-10.0 + 0.25 * packed).tolist()
    assert back.hmp["scale"] == header["scale"] and back.hmp["offset"] == header["offset"]
    assert back.hmp["param0"] == 3.0 and back.spacing == (3.0, 3.0)

    flat = dict(header, scale=(0.5, 0.25, 0.0))
    tt.save_terrain(tmp_path / "flat.hmp", heights, hmp=flat)
    assert (tt.load_terrain(tmp_path / "flat.hmp").heights == -10.0).all()

    with pytest.raises(ValueError, match="no range or height_scale"):
        tt.save_terrain(tmp_path / "b.hmp", heights, hmp=header, range=(0, 1))
    assert not (tmp_path / "b.hmp").exists()
