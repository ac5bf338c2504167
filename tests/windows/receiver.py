#!/usr/bin/env python3
"""Upload receiver on 127.0.0.1 for the Wine smoke test.

receiver.py FOLDER: listens on a free port, writes it to FOLDER/port, and for each POST writes
FOLDER/request-N.json (path, headers, and per form part its name, file name, size and text).
A POST to /stall is answered only after 120 s, so the client can be seen stopped while it waits.
"""
import email.parser
import email.policy
import json
import pathlib
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

folder = pathlib.Path(sys.argv[1])
count = 0
lock = threading.Lock()


def form_parts(content_type, body):
    message = email.parser.BytesParser(policy=email.policy.HTTP).parsebytes(
        b'Content-Type: ' + content_type.encode() + b'\r\n\r\n' + body)
    parts = {}
    for part in message.iter_parts():
        payload = part.get_payload(decode=True) or b''
        parts[part.get_param('name', header='content-disposition')] = {
            'filename': part.get_filename(),
            'size': len(payload),
            'text': payload.decode('utf-8', 'replace') if len(payload) < 4096 else None,
        }
    return parts


class Handler(BaseHTTPRequestHandler):
    # curl sends "Expect: 100-continue" and waits for the interim answer, which needs HTTP/1.1.
    protocol_version = 'HTTP/1.1'

    def do_POST(self):
        global count
        with lock:
            count += 1
            number = count
        if self.path == '/stall':
            (folder / f'stalled-{number}').touch()
            time.sleep(120)
        body = self.rfile.read(int(self.headers.get('Content-Length', 0)))
        record = {'path': self.path, 'headers': dict(self.headers),
                  'parts': form_parts(self.headers.get('Content-Type', ''), body)}
        (folder / f'request-{number}.json').write_text(json.dumps(record, indent=1))
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
(folder / 'port').write_text(str(server.server_address[1]))
server.serve_forever()
