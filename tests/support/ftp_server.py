"""A real FTP server for the upload tests: pyftpdlib on 127.0.0.1 on a free port, one account.

Usage: ftp_server.py ROOT USER PASSWORD [--delay SECONDS] [--stall COMMAND] [--read-limit BYTES]
Prints "PORT <n>" once it listens, then one line per command received ("CMD <name>") and per
file stored ("STOR <path relative to ROOT>"). --delay answers every command that many seconds
after it came, as a slow server does; --stall never answers the named command; --read-limit takes
in an upload at that many bytes a second, as over a slow line. Ends when its standard input
closes, so that it never outlives the test that started it.
"""
import argparse
import logging
import os
import sys
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer

parser = argparse.ArgumentParser()
parser.add_argument("root")
parser.add_argument("user")
parser.add_argument("password")
parser.add_argument("--delay", type=float, default=0.0)
parser.add_argument("--stall", default="")
parser.add_argument("--read-limit", type=int, default=0)
options = parser.parse_args()
root = options.root
logging.basicConfig(level=logging.CRITICAL)


class Handler(FTPHandler):
    auth_failed_timeout = 0

    def pre_process_command(self, line, cmd, arg):
        print("CMD", cmd, flush=True)
        if cmd == options.stall.upper():
            return
        if options.delay > 0:
            # Later on the server's own loop, so that it goes on serving meanwhile.
            parent = super()
            self.ioloop.call_later(options.delay, lambda: parent.pre_process_command(line, cmd, arg))
            return
        return super().pre_process_command(line, cmd, arg)

    def on_file_received(self, file):
        print("STOR", os.path.relpath(file, root), flush=True)


if options.read_limit > 0:
    class SlowLine(ThrottledDTPHandler):
        read_limit = options.read_limit

    Handler.dtp_handler = SlowLine

authorizer = DummyAuthorizer()
authorizer.add_user(options.user, options.password, root, perm="elradfmwMT")
Handler.authorizer = authorizer
server = FTPServer(("127.0.0.1", 0), Handler)


def end_with_parent():
    sys.stdin.read()
    os._exit(0)


threading.Thread(target=end_with_parent, daemon=True).start()
print("PORT", server.address[1], flush=True)
server.serve_forever()
