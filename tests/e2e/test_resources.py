"""The resources compiled into tilvane.exe: the context menu's texts survive the resource
compiler byte for byte, and the mark bitmaps have the frame layout the compositor expects."""

import unittest

import harness

SIZE_ITEMS = [
    (40017, "320 × 240"), (40016, "640 × 480"), (40013, "750 × 375"), (40015, "900 × 525"),
    (40012, "1200 × 600"), (40010, "1500 × 750"), (40011, "デスクトップサイズに合わせる"),
    None, (40014, "ウィンドウ枠の固定"),
]
STACKING_ITEMS = [(40023, "最背面"), (40025, "特に指定なし"), (40024, "最前面")]
CONTEXT_MENU = [
    (40020, "URLコピー"), (40021, "オリジナルURLコピー"), (40018, "このタイルを固定する"),
    (40019, "固定状態のタイルを表示"), (40026, "この画像を表示しない"),
    (40027, "この投稿者を表示しない"), (40028, "投稿を開く"), ("ウィンドウサイズ", SIZE_ITEMS),
    ("ウィンドウZ座標", STACKING_ITEMS), (40003, "設定"), None, (40008, "終了"),
]


def shape(items):
    """The menu as the expected tables spell it: (id, text), (text, [submenu]) or None."""
    result = []
    for item in items:
        if item["separator"]:
            result.append(None)
        elif "items" in item:
            result.append((item["text"], shape(item["items"])))
        else:
            result.append((item["id"], item["text"]))
    return result


class Resources(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        session = harness.shared_session()
        cls.reply = session.run_json(harness.PROGRAMS_DIR / "rescheck.exe",
                                     session.windows_path(harness.TILVANE_EXE))

    def test_context_menu_items_and_texts(self):
        self.assertIsNotNone(self.reply["menu"], "menu 105 is missing")
        self.assertEqual(shape(self.reply["menu"]), CONTEXT_MENU)

    def test_mark_bitmaps_have_the_frame_layout(self):
        for mark_id in ("115", "116", "117"):
            with self.subTest(bitmap=mark_id):
                mark = self.reply["marks"][mark_id]
                self.assertTrue(mark["loaded"])
                self.assertEqual((mark["width"], mark["height"]), (150, 150))
                self.assertTrue(mark["layout"], "pixels differ from the made mark")


if __name__ == "__main__":
    unittest.main()
