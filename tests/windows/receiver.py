#!/usr/bin/env python3
"""Upload receiver on 127.0.0.1 for the Wine smoke test.

receiver.py FOLDER [CERTIFICATE KEY]: listens on a free port, over TLS when given a
certificate and its key, writes the port to FOLDER/port, and for each POST makes FOLDER/request-N. A POST to /stall is answered only after 120 s, so the client can be seen
stopped while it waits.
"""
import itertools
import pathlib
import ssl
import sys
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

folder = pathlib.Path(sys.argv[1])
numbers = itertools.count(1)


class Handler(BaseHTTPRequestHandler):
    # curl sends "Expect: 100-continue" and waits for the interim answer, which needs HTTP/1.1.
    protocol_version = 'HTTP/1.1'

    def do_POST(self):
        number = next(numbers)
        if self.path == '/stall':
            (folder / f'stalled-{number}').touch()
            time.sleep(120)
        self.rfile.read(int(self.headers.get('Content-Length', 0)))
        (folder / f'request-{number}').touch()
        reply = b'{"result": "ok"}\n'
        self.send_response(200)
        self.send_header('Content-Type', 'application/json')
        self.send_header('Content-Length', str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)

    def log_message(self, *args):
        pass


server = ThreadingHTTPServer(('127.0.0.1', 0), Handler)
server.daemon_threads = True
if len(sys.argv) == 4:
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(sys.argv[2], sys.argv[3])
    server.socket = context.wrap_socket(server.socket, server_side=True)
(folder / 'port').write_text(str(server.server_address[1]))
server.serve_forever()
