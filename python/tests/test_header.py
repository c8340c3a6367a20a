"""The package's view of the engine library's C interface is the header's:
every constant it names, and the fields of both structs in order."""

import re

from selvane import _engine

from conftest import ROOT

HEADER = (ROOT / "include" / "selvane_engine.h").read_text()


def test_constants_are_the_headers():
    text = re.sub(r"/\*.*?\*/", "", HEADER, flags=re.S).replace("\\\n", " ")
    defined = {name: int(value) for name, value in
               re.findall(r"#define SELVANE_ENGINE_(\w+)\s+(\d+)\s*$", text, flags=re.M)}
    ours = {name: value for name, value in vars(_engine).items()
            if re.fullmatch(r"[A-Z][A-Z0-9_]*", name) and isinstance(value, int)}
    assert len(ours) >= 12
    assert {name: defined.get(name) for name in ours} == ours


def test_structs_have_the_headers_fields_in_order():
    for name, struct in (("job", _engine._Job), ("result", _engine._Result)):
        body = re.search(r"typedef struct selvane_engine_%s \{(.*?)\} selvane_engine_%s;"
                         % (name, name), HEADER, flags=re.S).group(1)
        body = re.sub(r"/\*.*?\*/", "", body, flags=re.S)
        fields = re.findall(r"(\w+);", body)
        assert [field for field, _ in struct._fields_] == fields
