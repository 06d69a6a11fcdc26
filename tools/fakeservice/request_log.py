"""The request log: one JSON object per line in a file, and the same entries in memory."""

import json
import threading
import time
from pathlib import Path


class RequestLog:
    def __init__(self, path: Path):
        self._path = path
        self._lock = threading.Lock()
        self._entries: list[dict] = []
        self._sequence = 0
        self._file = open(path, "w", encoding="utf-8")

    def append(self, entry: dict) -> dict:
        with self._lock:
            self._sequence += 1
            entry = {"seq": self._sequence, "time": round(time.time(), 3), **entry}
            self._entries.append(entry)
            if not self._file.closed:
                self._file.write(json.dumps(entry, ensure_ascii=False) + "\n")
                self._file.flush()
            return entry

    def entries(self) -> list[dict]:
        with self._lock:
            return list(self._entries)

    def clear(self):
        with self._lock:
            self._entries.clear()
            if not self._file.closed:
                self._file.seek(0)
                self._file.truncate()

    def close(self):
        with self._lock:
            self._file.close()
