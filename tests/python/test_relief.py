"""render_relief: its picture's axes and the heights and options it takes."""
import numpy as np
import pytest

import terrain_toolkit as tt


@pytest.mark.parametrize("dtype", [np.float32, np.float64])
def test_relief_puts_north_at_the_top_and_east_at_the_right(dtype):
    # Heights rising to the north (the last row) and, in a second terrain,
    # to the east: the low end is deep blue water, the high end white snow.
    rising = np.repeat(np.arange(40, dtype=dtype)[:, None], 30, axis=1)
    for heights, high, low in ((rising, (0, slice(None)), (-1, slice(None))),
                               (rising.T.copy(), (slice(None), -1), (slice(None), 0))):
        picture = tt.render_relief(heights)
        assert picture.shape == heights.shape + (3,) and picture.dtype == np.uint8
        top, bottom = picture[high].astype(int), picture[low].astype(int)
        assert (top.min(axis=1) > 200).all()
        assert (bottom[:, 2] > bottom[:, 0] + 40).all()


@pytest.mark.parametrize("heights, options, error", [
    (np.zeros((0, 4)), {}, ValueError),
    (np.zeros((2, 2), np.int32), {}, ValueError), (np.zeros(4), {}, ValueError),
    (np.zeros((2, 2)), {"spacing": 0.0}, ValueError), (np.zeros((2, 2)), {"height": 1.0}, TypeError),
])
def test_relief_refuses_what_it_cannot_draw(heights, options, error):
    with pytest.raises(error) as refused:
        tt.render_relief(heights, **options)
    assert refused.type is error


def test_relief_takes_the_widest_grid_and_its_light():
    ramp = np.tile(np.linspace(0, 50, 32767, dtype=np.float32), (2, 1))
    assert tt.render_relief(ramp, spacing=1.0).shape == (2, 32767, 3)
    with pytest.raises(ValueError, match="1 to 32767 rows and columns"):
        tt.render_relief(np.zeros((1, 32768), np.float32))
    heights = np.add.outer(np.arange(16.0), np.arange(16.0)) % 5
    pictures = [tt.render_relief(heights, spacing=1.0, **light).astype(int) for light in
                ({}, {"azimuth": 225.0}, {"elevation": 80.0}, {"brightness": 0.5}, {"contrast": 3.0})]
    for i, picture in enumerate(pictures[1:], 1):
        assert np.abs(picture - pictures[0]).max() > 5, i
