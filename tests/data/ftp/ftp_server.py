"""The FTP server of the FTP store tests: pyftpdlib on 127.0.0.1 with one user
whose login directory is --root, and a way to misbehave.

Modes:
  normal     a server that does what it is asked
  norename   the user may not rename files
  cut        the data connection of an upload is dropped after --after bytes
  stallstor  STOR is never answered
  stalldata  an upload's data stops being read after --after bytes
  noreplace  a rename over an existing file is refused

With --certfile (a PEM file holding the certificate and its key) the server
speaks FTPS: TLS is required for the login and for the data; with
--implicit from the first byte (as on port 990), else after AUTH TLS.
"""

import argparse
import logging
import os
import socket

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler, TLS_DTPHandler, TLS_FTPHandler
from pyftpdlib.servers import FTPServer

parser = argparse.ArgumentParser()
parser.add_argument("--port", type=int, required=True)
parser.add_argument("--root", required=True)
parser.add_argument("--user", default="quillo")
parser.add_argument("--password", default="secret")
parser.add_argument("--mode", default="normal",
                    choices=["normal", "norename", "cut", "stallstor", "stalldata",
                             "noreplace"])
parser.add_argument("--after", type=int, default=65536)
parser.add_argument("--certfile")
parser.add_argument("--implicit", action="store_true")
args = parser.parse_args()

log = logging.getLogger("ftp_server")


class CuttingDTP(DTPHandler):
    def handle_read(self):
        super().handle_read()
        if self.receive and not self._closed and self.tot_bytes_received >= args.after:
            self._resp = ("426 Connection closed; transfer aborted.", log.info)
            self.close()

    handle_read_event = handle_read


class StallingDTP(DTPHandler):
    def __init__(self, sock, cmd_channel):
        super().__init__(sock, cmd_channel)
        self.socket.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)

    def readable(self):
        if self.receive and self.tot_bytes_received >= args.after:
            return False
        return super().readable()


class EarlyHandshakeDTP(TLS_DTPHandler):
    """curl opens the data connection's TLS session before it sends STOR; the
    library's handler would take those first bytes for a disconnection."""

    def readable(self):
        if not self.receive and not self._initialized:
            return self._ssl_accepting or self._ssl_established
        return super().readable()


Base = TLS_FTPHandler if args.certfile else FTPHandler


class SilentStoreHandler(Base):
    def ftp_STOR(self, file, mode="w"):
        return None


class NoReplaceHandler(Base):
    def ftp_RNTO(self, path):
        if os.path.exists(path):
            self.respond("550 Will not rename over an existing file.")
            return None
        return super().ftp_RNTO(path)


class ImplicitTLSHandler(Base):
    def handle(self):
        self.secure_connection(self.ssl_context)
        super().handle()


perm = "elradmwMT" if args.mode == "norename" else "elradfmwMT"
authorizer = DummyAuthorizer()
authorizer.add_user(args.user, args.password, args.root, perm=perm)

handler = {"stallstor": SilentStoreHandler, "noreplace": NoReplaceHandler}.get(args.mode, Base)
if args.implicit:
    handler = type("Implicit" + handler.__name__, (ImplicitTLSHandler, handler), {})
if args.certfile:
    handler.certfile = args.certfile
    handler.tls_control_required = True
    handler.tls_data_required = True
    handler.dtp_handler = EarlyHandshakeDTP
handler.authorizer = authorizer
handler.passive_ports = None
if args.mode == "cut":
    handler.dtp_handler = CuttingDTP
elif args.mode == "stalldata":
    handler.dtp_handler = StallingDTP

server = FTPServer(("127.0.0.1", args.port), handler)
server.serve_forever()
