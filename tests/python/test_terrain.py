"""A terrain through 16-bit PNG and HMP7 files and back."""
import struct

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


SIX = np.array([[0.0, 1.0, 2.0], [3.0, 4.0, 5.0]])


@pytest.mark.parametrize("name, options, magic", [
    ("OUT.PNG", {}, b"\x89PNG\r\n\x1a\n"), ("Out.Png", {}, b"\x89PNG\r\n\x1a\n"),
    ("out.bin", {"format": "PNG"}, b"\x89PNG\r\n\x1a\n"), ("out.png", {"format": "hmp"}, b"HMP7"),
    ("MAP.HMP", {}, b"HMP7"), ("out.hmp", {"format": "Png"}, b"\x89PNG\r\n\x1a\n"),
])
def test_formats_by_name_or_word_in_any_case(tmp_path, name, options, magic):
    tt.save_terrain(tmp_path / name, SIX, **options)
    assert (tmp_path / name).read_bytes()[:len(magic)] == magic
    back = tt.load_terrain(tmp_path / name, **options, **({} if magic == b"HMP7" else {"range": (0, 5)}))
    assert back.format == ("HMP" if magic == b"HMP7" else "PNG")
    assert (back.hmp is None) == (magic != b"HMP7") and back.range is not None
    np.testing.assert_allclose(back.heights, SIX, atol=1e-3)


@pytest.mark.parametrize("name, options", [
    ("MAP.TXT", {}), ("map.dat", {"format": "TXT"}), ("MAP.R16", {}), ("map.dat", {"format": "RAW"})])
def test_height_arrays_and_raw_files_in_any_case(tmp_path, name, options):
    text = name.upper().endswith(".TXT") or options.get("format") == "TXT"
    (tmp_path / name).write_bytes(b"0,1,2,3,4,5," if text else struct.pack("<6H", 0, 1, 2, 3, 4, 5))
    back = tt.load_terrain(tmp_path / name, shape=(2, 3), tiles="1x1", **options) if text else \
        tt.load_terrain(tmp_path / name, shape=(2, 3), range=(0, 65535), **options)
    assert back.format == ("height array" if text else "RAW")
    assert (back.range is None) == text and back.hmp is None
    assert back.heights.shape == (2, 3) and sorted(back.heights.ravel()) == list(range(6))


@pytest.mark.parametrize("call, keywords, error", [
    ("load", {"height_scale": 2.0}, TypeError), ("load", {"skin": "a.png"}, TypeError),
    ("load", {"engine_values": True}, TypeError), ("save", {"shape": (2, 3)}, TypeError),
    ("save", {"tiles": (1, 1)}, TypeError), ("load", {"colour": 1}, TypeError),
    ("save", {"range": (5.0, 1.0)}, ValueError), ("load", {"range": (5.0, 1.0)}, ValueError),
    ("load", {"range": (0, float("inf"))}, ValueError), ("save", {"range": (float("nan"), 1)}, ValueError),
    ("save", {"range": (1,)}, ValueError), ("save", {"range": "01"}, ValueError), ("load", {"range": 3}, ValueError),
    ("save", {"spacing": 0}, ValueError), ("save", {"spacing": (1.0, -1.0)}, ValueError),
    ("load", {"spacing": float("nan")}, ValueError), ("save", {"height_scale": float("inf")}, ValueError),
    ("save", {"format": "jpeg"}, ValueError), ("load", {"format": "ob"}, ValueError),
    ("load", {"shape": (0, 2)}, ValueError), ("load", {"shape": (3, -2)}, ValueError),
    ("load", {"shape": (2 ** 31, 1)}, ValueError), ("load", {"tiles": "0x1"}, ValueError),
    ("load", {"shape": (1, 2, 3)}, ValueError), ("load", {"shape": "2x3"}, ValueError),
    ("load", {"size": (3, 2)}, TypeError), ("save", {"height_scale": 0}, ValueError),
    ("save", {"height_scale": -2.0}, ValueError),
    ("load", {"default_skin": "blank"}, TypeError),
    ("save", {"default_skin": "grey"}, ValueError), ("save", {"default_skin": 0}, ValueError),
    ("save", {"skin": "a.bmp", "default_skin": "none"}, ValueError),
])
def test_options_are_checked_before_any_file(tmp_path, call, keywords, error):
    tt.save_terrain(tmp_path / "a.png", SIX)
    before = (tmp_path / "a.png").read_bytes()
    with pytest.raises(error) as refused:
        if call == "load":
            tt.load_terrain(tmp_path / "a.png", **keywords)
        else:
            tt.save_terrain(tmp_path / "a.png", SIX + 1, **keywords)
    assert refused.type is error
    assert (tmp_path / "a.png").read_bytes() == before


def test_range_and_spacing_take_their_order(tmp_path):
    tt.save_terrain(tmp_path / "a.png", SIX)
    assert tt.load_terrain(tmp_path / "a.png", spacing=(2.0, 3.0)).spacing == (2.0, 3.0)
    assert tt.load_terrain(tmp_path / "a.png", spacing=4).spacing == (4.0, 4.0)
    # Both ends of a range may be the same height: a flat terrain.
    assert (tt.load_terrain(tmp_path / "a.png", range=(2.5, 2.5)).heights == 2.5).all()
    # A size at the largest whole number passes the option's check and is
    # then refused for the file it does not fit.
    with pytest.raises(tt.TerrainError):
        tt.load_terrain(tmp_path / "a.png", shape=(1, 2 ** 31 - 1), format="raw")


@pytest.mark.parametrize("name, options", [
    ("a.txt", {}), ("a.jpg", {}), ("a", {}), ("a.png", {"format": "txt"})])
def test_terrains_are_not_written_where_no_writer_is(tmp_path, name, options):
    with pytest.raises(ValueError) as refused:
        tt.save_terrain(tmp_path / name, SIX, **options)
    assert refused.type is ValueError and not (tmp_path / name).exists()


@pytest.mark.parametrize("heights", [np.zeros((0, 3)), np.zeros(4), np.zeros((2, 2, 1)), [[0.0, 1.0]]])
def test_heights_that_are_no_grid_are_refused(tmp_path, heights):
    with pytest.raises(ValueError) as refused:
        tt.save_terrain(tmp_path / "a.png", heights)
    assert refused.type is ValueError and not (tmp_path / "a.png").exists()


def test_hmp_header_given_fills_in_what_it_lacks(tmp_path):
    # Two rows of three: param0 is the column count; the spacing goes into
    # the header east then north; a height below the offset packs to 0.
    heights = np.array([[-20.0, -10.0, -9.5], [0.0, 2.5, 5.0]])
    tt.save_terrain(tmp_path / "a.hmp", heights, hmp={"scale": (1, 1, 0.5), "offset": (0, 0, -10)},
                    spacing=(2.0, 5.0))
    back = tt.load_terrain(tmp_path / "a.hmp")
    assert back.hmp["param0"] == 3.0 and back.spacing == (2.0, 5.0)
    assert back.heights.tolist() == [[-10.0, -10.0, -9.5], [0.0, 2.5, 5.0]]
    tt.save_terrain(tmp_path / "b.hmp", heights, hmp={"scale": (1, 1, 0.5), "offset": (0, 0, -10)})
    assert tt.load_terrain(tmp_path / "b.hmp").spacing == (1.0, 1.0)


@pytest.mark.parametrize("header, error", [
    ({"offset": (0, 0, 0)}, ValueError), ({"scale": (1, 1, 1)}, ValueError),
    ({"scale": (1, 1), "offset": (0, 0, 0)}, ValueError), ({"scale": "111", "offset": (0, 0, 0)}, ValueError),
    ({"scale": (1, 1, 1e39), "offset": (0, 0, 0)}, ValueError),
    ({"scale": (1, 1, 1), "offset": (0, float("nan"), 0)}, ValueError),
    ({"scale": (1, 1, 1), "offset": (0, 0, 0), "param0": float("inf")}, ValueError),
    ([("scale", (1, 1, 1)), ("offset", (0, 0, 0))], TypeError),
])
def test_hmp_headers_that_cannot_be_stored_are_refused(tmp_path, header, error):
    with pytest.raises(error) as refused:
        tt.save_terrain(tmp_path / "a.hmp", SIX, hmp=header)
    assert refused.type is error and not (tmp_path / "a.hmp").exists()


def test_hmp_file_keeps_its_header_until_its_heights_change(corpus, tmp_path):
    terrain = tt.load_terrain(corpus / "hmp7/terrain.hmp")
    tt.save_terrain(tmp_path / "same.hmp", terrain)
    same = tt.load_terrain(tmp_path / "same.hmp")
    assert same.hmp["scale"] == terrain.hmp["scale"] and same.hmp["offset"] == terrain.hmp["offset"]
    np.testing.assert_array_equal(same.heights, terrain.heights)

    terrain.heights[16, 20] = terrain.heights.max() + 10.0
    tt.save_terrain(tmp_path / "changed.hmp", terrain)
    changed = tt.load_terrain(tmp_path / "changed.hmp")
    low, high = terrain.heights.min(), terrain.heights.max()
    assert changed.hmp["scale"][2] == pytest.approx((high - low) / 65535, rel=1e-6)
    np.testing.assert_allclose(changed.heights, terrain.heights, atol=(high - low) / 65535)


def png_texts(path):
    """The tEXt chunks of a PNG file, parsed from its bytes, and the file's
    bytes without them."""
    data, at, texts, rest = path.read_bytes(), 8, {}, bytearray(path.read_bytes()[:8])
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        if kind == b"tEXt":
            keyword, text = data[at + 8:at + 8 + length].split(b"\0", 1)
            texts[keyword.decode("latin-1")] = text.decode("latin-1")
        else:
            rest += data[at:at + 12 + length]
        at += 12 + length
    return texts, bytes(rest)


def test_png_and_raw_say_the_range_their_heights_were_packed_on(tmp_path):
    # Heights off the 1/1024 steps of an HMP header's numbers: packed on the
    # steps nearest their ends, 0.1 on 102/1024.
    heights = np.array([[0.1, 0.7, 0.4], [0.25, 0.6, 0.3]])
    written = tt.save_terrain(tmp_path / "a.png", heights, spacing=(2.0, 5.0))
    low, high = written["range"]
    assert low == 102 / 1024 and abs(high - 717 / 1024) < 1e-6
    assert written["spacing"] == (2.0, 5.0) and written["shape"] == (2, 3)
    texts, bare = png_texts(tmp_path / "a.png")
    assert texts == {"Terrain height range": f"{low!r} {high!r}", "Terrain spacing": "2 5"}
    back = tt.load_terrain(tmp_path / "a.png")
    assert back.range == (low, high) and back.range_known and back.spacing == (2.0, 5.0)
    half_step = (high - low) / 65535 / 2
    np.testing.assert_allclose(back.heights, heights, rtol=0, atol=half_step * 1.01)
    # The same picture without the chunks, as another tool may write it,
    # stands for 0 .. 65535.
    (tmp_path / "bare.png").write_bytes(bare)
    plain = tt.load_terrain(tmp_path / "bare.png")
    assert not plain.range_known and plain.range == (0, 65535) and plain.spacing == (0, 0)
    # RAW keeps no range: save_terrain's answer brings the heights back.
    assert tt.save_terrain(tmp_path / "a.r16", heights) == {"range": (low, high), "spacing": (1.0, 1.0),
                                                            "shape": (2, 3)}
    raw = tt.load_terrain(tmp_path / "a.r16", shape=(2, 3), range=(low, high))
    assert not tt.load_terrain(tmp_path / "a.r16", shape=(2, 3)).range_known
    np.testing.assert_allclose(raw.heights, heights, rtol=0, atol=half_step * 1.01)


def test_heights_with_an_hmp_header_keep_its_spacing(corpus, tmp_path):
    terrain = tt.load_terrain(corpus / "hmp7/terrain.hmp")
    assert terrain.hmp["spacing"] == (5.0, 5.0)
    written = tt.save_terrain(tmp_path / "a.hmp", terrain.heights.copy(), hmp=terrain.hmp)
    assert written["spacing"] == (5.0, 5.0)
    back = tt.load_terrain(tmp_path / "a.hmp")
    assert back.spacing == (5.0, 5.0) and back.hmp["scale"] == terrain.hmp["scale"]
    np.testing.assert_array_equal(back.heights, terrain.heights)
    tt.save_terrain(tmp_path / "b.hmp", terrain.heights.copy(), hmp=terrain.hmp, spacing=(2.0, 3.0))
    assert tt.load_terrain(tmp_path / "b.hmp").spacing == (2.0, 3.0)


def _skins(path):
    """numSkins and the first skin's type, width and height, from the
    file's bytes: the header's count at 48, the first skin's header at 84."""
    data = path.read_bytes()
    count = struct.unpack_from("<i", data, 48)[0]
    return (count,) + (struct.unpack_from("<iii", data, 84) if count else ())


def test_default_hmp_skin_is_the_true_colour_relief_never_an_8_bit_one(corpus, tmp_path):
    # A bare array: the relief, 24-bit with mip levels (type 12), sides
    # rounded up to 8.
    tt.save_terrain(tmp_path / "six.hmp", SIX)
    assert _skins(tmp_path / "six.hmp") == (1, 12, 8, 8)
    terrain = tt.load_terrain(corpus / "hmp7/terrain.hmp")
    # The file itself has no skins and goes back without, as large as it came.
    tt.save_terrain(tmp_path / "back.hmp", terrain)
    assert _skins(tmp_path / "back.hmp") == (0,)
    assert (tmp_path / "back.hmp").stat().st_size == 4476
    # Still without skins once its heights change.
    terrain.heights[0, 0] += 1.0
    tt.save_terrain(tmp_path / "changed.hmp", terrain)
    assert _skins(tmp_path / "changed.hmp") == (0,)
    # Asked for: the relief, or a blank skin; None leaves the choice.
    tt.save_terrain(tmp_path / "relief.hmp", terrain, default_skin="relief")
    assert _skins(tmp_path / "relief.hmp") == (1, 12, 40, 40)
    tt.save_terrain(tmp_path / "blank.hmp", SIX, default_skin="blank")
    assert _skins(tmp_path / "blank.hmp") == (1, 0, 8, 8)
    tt.save_terrain(tmp_path / "auto.hmp", terrain, default_skin=None)
    assert _skins(tmp_path / "auto.hmp") == (0,)


def test_shape_takes_rows_then_columns_and_refusals_name_the_keywords(tmp_path):
    # Six samples, the file's rows from the north: shape (2, 3) reads two rows
    # of three, (3, 2) three rows of two, row 0 the southern one.
    (tmp_path / "a.r16").write_bytes(struct.pack("<6H", 0, 1, 2, 3, 4, 5))
    wide = tt.load_terrain(tmp_path / "a.r16", shape=(2, 3), range=(0, 65535))
    assert wide.heights.tolist() == [[3, 4, 5], [0, 1, 2]]
    tall = tt.load_terrain(tmp_path / "a.r16", shape=(3, 2), range=(0, 65535))
    assert tall.heights.tolist() == [[4, 5], [2, 3], [0, 1]]
    # A NumPy shape gives the grid back as it was.
    assert tt.load_terrain(tmp_path / "a.r16", shape=wide.heights.shape).heights.shape == (2, 3)

    with pytest.raises(TypeError, match=r"shape=\(rows, columns\)"):
        tt.load_terrain(tmp_path / "a.r16", size=(3, 2))
    with pytest.raises(tt.TerrainError, match=r"a RAW file needs shape=\(rows, columns\)$"):
        tt.load_terrain(tmp_path / "a.r16")
    with pytest.raises(tt.TerrainError, match=r"holds 12 bytes, but shape=\(1, 3\) needs 6$"):
        tt.load_terrain(tmp_path / "a.r16", shape=(1, 3))
    (tmp_path / "a.txt").write_text("0,1,2,3,4,5,")
    with pytest.raises(tt.TerrainError, match="tiles= must divide shape= into whole tiles$"):
        tt.load_terrain(tmp_path / "a.txt", shape=(2, 3), tiles=(2, 1))
    # tiles= is (x, z): three tiles side by side along x, each one column of
    # two values from the lower z edge, x running fastest.
    tiled = tt.load_terrain(tmp_path / "a.txt", shape=(2, 3), tiles=(3, 1))
    assert tiled.heights.tolist() == [[0, 2, 4], [1, 3, 5]]
