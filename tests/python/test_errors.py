"""Each kind of failure as its Python exception."""
import errno

import numpy as np
import pytest

import terrain_toolkit as tt


def test_failures_raise_their_exceptions(corpus, tmp_path, monkeypatch):
    # A model cut short in its first skin: ModelError, a ValueError with the
    # reader's reason and the offset of the record that ran out (the 16 x 16
    # image after the 84-byte header and the skin's 4-byte type).
    bolt = (corpus / "idpo/bolt.mdl").read_bytes()
    with pytest.raises(tt.ModelError) as cut:
        tt.open_model(bolt[:300])
    assert isinstance(cut.value, ValueError)
    assert "truncated at offset 88" in cut.value.reason and cut.value.offset == 88

    # A terrain cut in its first skin: TerrainError with the offset of the
    # skin that ran out, right after the 84-byte HMP7 header.
    tt.save_terrain(tmp_path / "whole.hmp", np.zeros((4, 4)), spacing=8)
    (tmp_path / "bad.hmp").write_bytes((tmp_path / "whole.hmp").read_bytes()[:100])
    with pytest.raises(tt.TerrainError) as bad:
        tt.load_terrain(tmp_path / "bad.hmp")
    assert isinstance(bad.value, ValueError) and "bad.hmp" in bad.value.reason
    assert bad.value.offset == 84

    # A file that is not there: OSError with the system's error.
    with pytest.raises(FileNotFoundError):
        tt.load_terrain(tmp_path / "missing.png")
    with pytest.raises(OSError):
        tt.save_terrain(tmp_path / "no_folder" / "x.png", np.zeros((2, 2)))

    # A command the generator refuses: ValueError naming the row.
    with pytest.raises(ValueError, match="row 0 \\(Perlin\\): octave count"):
        tt.generate("0 1\n1 1 4 4\n0 1 0 1\n0 0\n0 99 1.0 0.5 0.0\n")
    # An evaluator duneforge would refuse, refused as duneforge refuses it.
    monkeypatch.setenv("DUNEFORGE_EVALUATOR", "fastest")
    with pytest.raises(ValueError, match="DUNEFORGE_EVALUATOR=\"fastest\""):
        tt.generate("0 1\n1 1 4 4\n0 1 0 1\n0 0\n0 6 1.0 0.5 0.0\n")


def test_wrong_dtype_is_refused(tmp_path):
    with pytest.raises(ValueError, match="int32"):
        tt.save_terrain(tmp_path / "x.png", np.zeros((4, 4), dtype=np.int32))
    assert not (tmp_path / "x.png").exists()
    model = {"frames": [np.zeros((3, 3), dtype=np.float64)], "triangles": np.zeros((1, 3), dtype=np.int32)}
    with pytest.raises(ValueError, match="float64"):
        tt.write_mdl7(tmp_path / "x.mdl", model)


def test_errors_name_their_file_their_offset_or_none(tmp_path):
    # A missing file: the OSError holds the system's error and the path.
    missing = tmp_path / "missing.hmp"
    for call in (tt.load_terrain, tt.open_model, tt.generate):
        with pytest.raises(FileNotFoundError) as absent:
            call(missing)
        assert absent.value.errno == errno.ENOENT and absent.value.filename == str(missing), call
    with pytest.raises(OSError) as unwritable:
        tt.save_terrain(tmp_path / "no_folder" / "x.png", np.zeros((2, 2)))
    assert unwritable.value.filename == str(tmp_path / "no_folder" / "x.png")
    # Bytes too short for any header run out at offset 0, which is an offset.
    with pytest.raises(tt.ModelError) as short:
        tt.open_model(b"ID")
    assert short.value.offset == 0 and not isinstance(short.value, tt.TerrainError)
    # A PNG file that is not one names no offset.
    (tmp_path / "text.png").write_text("no picture")
    with pytest.raises(tt.TerrainError) as text:
        tt.load_terrain(tmp_path / "text.png")
    assert text.value.offset is None and not isinstance(text.value, tt.ModelError)


@pytest.mark.parametrize("command", [42, b"0 1\n", None])
def test_generate_takes_text_or_a_path_only(command):
    with pytest.raises(TypeError, match="generate\\(\\) takes"):
        tt.generate(command)
