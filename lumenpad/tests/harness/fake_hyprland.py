"""A stand-in for Hyprland's request socket: every request is answered with
one active workspace, which a test may change between requests."""

import json
import os
import socket
import threading

SIGNATURE = "e2e_state_0123456789abcdef"


class FakeHyprland:
    """Answers every request on Hyprland's socket in runtime_dir with the
    active workspace (the workspace attribute) and records the requests."""

    def __init__(self, runtime_dir, workspace):
        directory = os.path.join(runtime_dir, "hypr", SIGNATURE)
        os.makedirs(directory)
        self.workspace = workspace
        self.requests = []
        self.listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.listener.bind(os.path.join(directory, ".socket.sock"))
        self.listener.listen(4)
        self.thread = threading.Thread(target=self._serve, daemon=True)
        self.thread.start()

    def _reply(self):
        return json.dumps({"id": 2, "name": self.workspace, "monitor": "HEADLESS-1", "monitorID": 0,
                           "windows": 1, "hasfullscreen": False, "lastwindow": "0x0",
                           "lastwindowtitle": ""}, indent=4).encode()

    def _serve(self):
        while True:
            try:
                connection, _ = self.listener.accept()
            except OSError:
                return
            with connection:
                connection.settimeout(5)
                request = b""
                try:
                    while chunk := connection.recv(4096):
                        request += chunk
                    self.requests.append(request)
                    connection.sendall(self._reply())
                except OSError:
                    self.requests.append(request)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        # shutdown wakes the blocked accept; close alone would not.
        self.listener.shutdown(socket.SHUT_RDWR)
        self.listener.close()
        self.thread.join(timeout=10)
        return False
