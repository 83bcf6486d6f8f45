#!/usr/bin/env python3
"""browser_serve.py ROOT PORT-FILE SECONDS: serves ROOT on a free port of
127.0.0.1 (written into PORT-FILE) for the browser test's page, and takes
its answers: POST /shot (the PNG, saved as ROOT/browser.png), /log (a line
for ROOT/browser.log) and /fail (the page's error). Ends after /shot or
/fail, or after SECONDS without either; exit status 0 only for a picture."""
import http.server
import os
import sys
import threading

root, port_file, seconds = sys.argv[1], sys.argv[2], float(sys.argv[3])
outcome = {'status': None}


class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      '.js': 'text/javascript', '.glb': 'model/gltf-binary'}

    def __init__(self, *args, **kwargs):
        super().__init__(*args, directory=root, **kwargs)

    def log_message(self, *args):
        pass

    def do_POST(self):
        body = self.rfile.read(int(self.headers.get('Content-Length', 0)))
        self.send_response(204)
        self.end_headers()
        if self.path == '/log':
            with open(os.path.join(root, 'browser.log'), 'ab') as log:
                log.write(body + b'\n')
            return
        if self.path == '/shot':
            with open(os.path.join(root, 'browser.png'), 'wb') as shot:
                shot.write(body)
            outcome['status'] = 0
        elif self.path == '/fail':
            print('the page failed:', body.decode('utf-8', 'replace'))
            outcome['status'] = 1
        else:
            return
        threading.Thread(target=self.server.shutdown).start()


server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), Handler)
with open(port_file + '.part', 'w') as f:
    f.write(str(server.server_address[1]))
os.rename(port_file + '.part', port_file)
timer = threading.Timer(seconds, server.shutdown)
timer.start()
server.serve_forever()
timer.cancel()
if outcome['status'] is None:
    print(f'no answer from the page within {seconds:.0f} seconds')
sys.exit(0 if outcome['status'] == 0 else 1)
