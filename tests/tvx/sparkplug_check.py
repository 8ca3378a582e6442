#!/usr/bin/env python3
"""tvx record --sparkplug as a Sparkplug B host sees it: a real Mosquitto on loopback, simulated
sensors, and an observer that decodes every message with the published schema compiled by protoc
here (not the recorder's code). Run: sparkplug_check.py TVX SIMULATOR SCHEMA_FOLDER"""
import collections, os, queue, signal, socket, subprocess, sys, tempfile, threading, time
import unittest

import paho.mqtt.client as mqtt

TVX, SIM, SCHEMA = sys.argv[1:4]
WORK = tempfile.TemporaryDirectory()
subprocess.run(["protoc", "-I", SCHEMA, "--python_out", WORK.name, "sparkplug_b.proto"], check=True)
sys.path.insert(0, WORK.name)
import sparkplug_b_pb2 as pb  # noqa: E402
from google.protobuf.message import DecodeError  # noqa: E402

UINT16, UINT32, INT64, FLOAT, BOOLEAN, STRING = 6, 7, 4, 9, 11, 12
WAIT = 60  # a guard against a hang, never a measure of speed
Msg = collections.namedtuple("Msg", "kind device payload raw")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def lines_of(stream, into):
    for line in iter(stream.readline, ""):
        into.put(line)


class Broker:
    def __init__(self, folder):
        self.port = free_port()
        self.conf = os.path.join(folder, "mosquitto.conf")
        with open(self.conf, "w") as f:
            # A host's session outlives the broker, and keeps what comes while it is away.
            f.write(f"listener {self.port} 127.0.0.1\nallow_anonymous true\npersistence true\n"
                    f"persistence_location {folder}/\nqueue_qos0_messages true\nuser root\n")
        self.start()

    def start(self):
        self.process = subprocess.Popen(["mosquitto", "-c", self.conf], stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + WAIT
        while time.monotonic() < deadline:
            try:
                socket.create_connection(("127.0.0.1", self.port), 1).close()
                return
            except OSError:
                time.sleep(0.05)
        raise RuntimeError("mosquitto did not start")

    def stop(self):
        self.process.terminate()
        self.process.wait()


class Sensor:
    def __init__(self, port=0):
        self.process = subprocess.Popen([SIM, "--tcp", str(port)], stdout=subprocess.PIPE,
                                        text=True)
        for line in self.process.stdout:
            if line.startswith("tcp "):
                self.port = int(line.rsplit(":", 1)[1])
            if line.strip() == "ready":
                return

    def stop(self):
        self.process.terminate()
        self.process.wait()


class Observer:
    """A host's view: every message on spBv1.0/#, decoded, in the order the broker gave them."""

    def __init__(self, broker):
        self.messages = queue.Queue()
        self.client = mqtt.Client(client_id=f"observer-{broker.port}", clean_session=False)
        self.client.reconnect_delay_set(1, 1)
        self.client.on_connect = lambda c, *_: c.subscribe("spBv1.0/#", 1)
        self.client.on_message = lambda c, u, m: self.messages.put(self.decode(m))
        self.client.connect("127.0.0.1", broker.port)
        self.client.loop_start()

    @staticmethod
    def decode(message):
        levels = message.topic.split("/")
        if levels[1] == "STATE":
            return Msg("STATE", None, None, message.payload)
        payload = pb.Payload()
        try:
            payload.ParseFromString(message.payload)
        except DecodeError:
            payload = None  # the commands this test sends to refuse
        return Msg(levels[2], levels[4] if len(levels) > 4 else None, payload, message.payload)

    def until(self, match, what):
        """Every message up to the first that matches, that one last."""
        seen = []
        while True:
            try:
                seen.append(self.messages.get(timeout=WAIT))
            except queue.Empty:
                raise AssertionError(f"no {what}; saw {[m.kind for m in seen[-20:]]}")
            if match(seen[-1]):
                return seen

    def publish(self, topic, payload, retain=False):
        self.client.publish(topic, payload, 1, retain).wait_for_publish()


def of(kind, device=None):
    return lambda m: m.kind == kind and (device is None or m.device == device)


def metric(payload, name):
    return next(m for m in payload.metrics if m.name == name)


def rebirth(value=True):
    payload = pb.Payload()
    command = payload.metrics.add(name="Node Control/Rebirth", datatype=BOOLEAN)
    command.boolean_value = value
    return payload.SerializeToString()


class Recorder:
    def __init__(self, broker, sensors, *options):
        self.said = queue.Queue()
        args = [TVX, "record", "--mqtt", f"127.0.0.1:{broker.port}", "--sparkplug", "plant/line1",
                "--spool", os.path.join(WORK.name, f"spool-{broker.port}"), *options]
        for name, sensor in sensors.items():
            args += ["--sensor", f"{name}=tcp://127.0.0.1:{sensor.port}"]
        self.process = subprocess.Popen(args, stderr=subprocess.PIPE, text=True)
        threading.Thread(target=lines_of, args=(self.process.stderr, self.said),
                         daemon=True).start()

    def says(self, text):
        while text not in self.said.get(timeout=WAIT):
            pass

    def end(self, signal_number=signal.SIGTERM):
        self.process.send_signal(signal_number)
        return self.process.wait()


class SparkplugNode(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.broker = Broker(self.folder.name)
        self.observer = Observer(self.broker)
        self.sensors = {name: Sensor() for name in ("a", "b")}

    def tearDown(self):
        for sensor in self.sensors.values():
            sensor.stop()
        self.observer.client.loop_stop()
        self.broker.stop()
        self.folder.cleanup()

    def test_births_name_every_metric_and_data_go_by_alias_with_one_seq_over_its_wrap(self):
        recorder = Recorder(self.broker, self.sensors)
        nbirth = self.observer.until(of("NBIRTH"), "NBIRTH")[-1].payload
        self.assertEqual((nbirth.seq, metric(nbirth, "bdSeq").long_value), (0, 0))
        self.assertEqual(metric(nbirth, "bdSeq").datatype, INT64)
        rebirth_metric = metric(nbirth, "Node Control/Rebirth")
        self.assertEqual((rebirth_metric.datatype, rebirth_metric.boolean_value,
                          rebirth_metric.HasField("alias")), (BOOLEAN, False, False))
        aliases = {m.alias: m.name for m in nbirth.metrics if m.HasField("alias")}
        births, seqs = {}, [0]
        for m in [self.observer.until(lambda m: True, "data")[0] for _ in range(300)]:
            seqs.append(m.payload.seq)
            if m.kind == "DBIRTH":
                births[m.device] = {x.alias: x for x in m.payload.metrics}
                for x in m.payload.metrics:
                    self.assertNotIn(x.alias, aliases, "aliases are unique in the node")
                    aliases[x.alias] = x.name
            elif m.kind == "DDATA":
                self.assertIn(m.device, births)
                for x in m.payload.metrics:
                    self.assertFalse(x.name, "data carries aliases only")
                    self.assertIn(x.alias, births[m.device])
                    self.assertGreater(x.timestamp, 0)
        self.assertEqual(seqs, [n % 256 for n in range(len(seqs))])
        for device in ("a", "b"):
            types = {x.name: x.datatype for x in births[device].values()}
            for name, datatype in [("R", UINT16), ("G", UINT16), ("B", UINT16), ("X", UINT16),
                                   ("Y", UINT16), ("INT", UINT16), ("C-No", UINT16),
                                   ("GROUP", UINT16), ("TEMP", UINT16), ("margin", FLOAT),
                                   ("second margin", FLOAT), ("Properties/Version", STRING),
                                   ("Parameters/MAXCOL-No.", UINT16),
                                   ("Parameters/CALC MODE", UINT16),
                                   ("Teach/row 14/group", UINT16), ("Teach/row 0/CTO", UINT16)]:
                self.assertEqual(types.get(name), datatype, f"{device} {name}")
        self.assertEqual(recorder.end(), 0)

    def test_rebirth_on_the_same_connection_and_commands_refused(self):
        recorder = Recorder(self.broker, self.sensors)
        first = self.observer.until(of("DDATA"), "data")[0].payload
        for topic, payload, said in [
                ("spBv1.0/plant/NCMD/line1", b"\xff\xffnot protobuf", "NCMD refused"),
                ("spBv1.0/plant/DCMD/line1/a", rebirth(), "DCMD for a refused")]:
            self.observer.publish(topic, payload)
            recorder.says(said)
        self.observer.publish("spBv1.0/plant/NCMD/line1", rebirth())
        again = self.observer.until(of("NBIRTH"), "NBIRTH after the rebirth")[-1].payload
        self.assertEqual(again.seq, 0)
        self.assertEqual(metric(again, "bdSeq").long_value, metric(first, "bdSeq").long_value)
        after = self.observer.until(of("DDATA"), "data after the rebirth")
        self.assertEqual(sorted(m.device for m in after if m.kind == "DBIRTH"), ["a", "b"])
        self.assertEqual([m.payload.seq for m in after], list(range(1, len(after) + 1)))
        self.assertEqual(recorder.end(), 0)

    def test_death_certificate_from_the_broker_after_a_kill_and_from_the_node_on_term(self):
        for bd_seq, signal_number in [(0, signal.SIGKILL), (1, signal.SIGTERM)]:
            recorder = Recorder(self.broker, self.sensors)
            birth = self.observer.until(of("NBIRTH"), "NBIRTH")[-1].payload
            self.assertEqual(metric(birth, "bdSeq").long_value, bd_seq)
            self.observer.until(of("DDATA"), "data")
            recorder.end(signal_number)
            death = self.observer.until(of("NDEATH"), "NDEATH")[-1].payload
            self.assertEqual([(m.name, m.long_value) for m in death.metrics], [("bdSeq", bd_seq)])

    def test_a_sensor_that_dies_gets_a_DDEATH_and_when_back_a_DBIRTH(self):
        recorder = Recorder(self.broker, self.sensors)
        self.observer.until(of("DDATA", "b"), "data of b")
        port = self.sensors["b"].port
        self.sensors["b"].stop()
        self.observer.until(of("DDEATH", "b"), "DDEATH of b")
        self.sensors["b"] = Sensor(port)
        self.observer.until(of("DBIRTH", "b"), "DBIRTH of b")
        self.observer.until(of("DDATA", "b"), "data of b again")
        self.assertEqual(recorder.end(), 0)

    def test_frames_recorded_while_the_broker_is_away_follow_the_births_as_history(self):
        frames = 120
        recorder = Recorder(self.broker, {"a": self.sensors["a"]}, "--count", str(frames))
        seen = self.observer.until(of("DDATA"), "data")
        self.broker.stop()
        recorder.says("lost")
        self.broker.start()
        self.assertEqual(recorder.process.wait(), 0)
        # The first session's will comes too; the end is the second session's death.
        seen += self.observer.until(
            lambda m: m.kind == "NDEATH" and metric(m.payload, "bdSeq").long_value == 1, "the end")
        data = [m.payload.metrics for m in seen if m.kind == "DDATA"]
        self.assertEqual(len({x.timestamp for metrics in data for x in metrics}), frames)
        history = [metrics[0].timestamp for metrics in data if metrics[0].is_historical]
        self.assertTrue(history)
        self.assertEqual(history, sorted(history))

    def test_births_wait_for_the_primary_host_and_its_offline_sends_frames_to_the_spool(self):
        state = "spBv1.0/STATE/scada"
        self.observer.publish(state, b'{"online":"maybe"}', retain=True)
        recorder = Recorder(self.broker, self.sensors, "--sparkplug-host", "scada")
        recorder.says("STATE of scada is not")
        self.observer.publish(state, b'{"online":true,"timestamp":2}', retain=True)
        before = self.observer.until(of("NBIRTH"), "NBIRTH once the host is online")
        self.assertEqual([m.kind for m in before if m.kind != "STATE"], ["NBIRTH"])
        self.observer.until(of("DDATA"), "data")
        self.observer.publish(state, b'{"online":false,"timestamp":3}', retain=True)
        recorder.says("primary host scada offline")
        time.sleep(1)  # frames for the spool
        self.observer.publish(state, b'{"online":true,"timestamp":1}')  # older: not heeded
        self.observer.publish(state, b'{"online":true,"timestamp":4}', retain=True)
        births = self.observer.until(of("NBIRTH"), "NBIRTH once the host is back")
        self.assertEqual(births[-2].raw, b'{"online":true,"timestamp":4}')
        data = self.observer.until(lambda m: m.kind == "DDATA" and
                                   not m.payload.metrics[0].is_historical, "live data")
        self.assertTrue(any(m.kind == "DDATA" for m in data[:-1]), "the spooled frames first")
        self.assertEqual(recorder.end(), 0)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[4:], verbosity=2)
