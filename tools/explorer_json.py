"""Reads the explorer's JSON (mean4_explore --benchmark_out=FILE
--benchmark_out_format=json): the one place the tools learn what a run holds.
docs/json.md lists every key and the version that added it.

A run is read by two numbers. Its format version, the context's
mean4_json_version, says which keys it holds; a newer version only adds
keys, and these tools read it, ignoring what they do not know. Its method,
the context's mean4_method, says what its figures mean (method below); the
tools compare figures only within one method, and refuse a method newer
than they know.

The format versions:
  5  the method's number; each repetition's ratio in each order of its
     pairs (x_limit_call_first, x_limit_copies_first) and the clock read by
     multiplications (core_ghz_by_multiplies), and the tolerance a point
     settles within (settled_within);
  4  each point also records the throughput the core gave the explorer
     (core_adds_per_ns), which another hardware thread on the same physical
     core takes a share of, and every timed call and copy starts after a
     pause that lets the writes of the one before drain;
  3  each point measured until its x_limit settles or its budget is spent,
     with 95 % intervals of its medians, whether it settled, what the
     machine did meanwhile and its event counters; the limit is the fastest
     of three copies, named in the label (limit_copy);
  2  each benchmark's label carries its facts from the registry (who wrote
     the kernel, its data flow, stores, rows per pass, instruction set,
     cores), and the context the processor and the build;
  1  runs from before that: the facts follow from the variant's name, by the
     naming rule of the time, and the processor from the filing machine's
     page; the explorer listed its own caches and paired its pattern copy;
  0  the first runs: Google Benchmark's cache list, and no paired pattern
     copy, so the model is rebuilt here from the unpaired three-row copies.
Runs without the key are 1 or 0; which one is decided once, in
format_version, and nowhere else.

The methods (docs/measurement.md#the-methods):
  4  pairs alternate their order; every repetition runs on a fresh placement
     of its workload, so the repetitions are replicates, and a point's figure
     is the mean of its repetitions' medians with Student's t interval over
     them (version 5 on);
  3  every timed call and copy starts after a pause for the writes before it
     to drain (version 4);
  2  the limit is the fastest of three copies, and each point is measured
     until its interval settles (version 3);
  1  the limit is the widening copy, one row (versions 0 to 2).
"""
import json
import math
import statistics
from collections import defaultdict
from dataclasses import dataclass

# The newest format version this module knows the keys of; it reads newer
# ones too, ignoring the keys it does not know.
NEWEST_VERSION = 5
# The newest method whose figures it knows the meaning of.
NEWEST_METHOD = 4
# The method of runs from before the context named it, by format version.
METHOD_OF_VERSION = {0: 1, 1: 1, 2: 1, 3: 2, 4: 3}
# From method 4 on, a point's figure is the mean of its repetitions and its
# interval Student's t over them, at this confidence.
CONFIDENCE = 0.95
# The tolerance a point settles within, where the context does not say.
SETTLED_WITHIN = 0.02
SCALE_TO_MS = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}
# Each pixel is one byte read and one 32-bit word written (the explorer's
# bytes_per_second over its pixels_per_second).
BYTES_PER_PIXEL = 5
COUNTERS = ("limit_ms", "x_limit", "x_limit_q1", "x_limit_q3", "compute_ns_per_pixel",
            "compute_tsc_per_pixel", "compute_call_us", "compute_ms", "pattern_ms", "model_ms",
            "x_model", "memory_over_compute", "huge_pages", "x_limit_lo", "x_limit_hi",
            "x_model_lo", "x_model_hi", "call_ms", "call_ms_lo", "call_ms_hi", "pairs",
            "x_limit_half_width", "stable", "other_cpu_s", "steal_s", "core_ghz",
            "core_adds_per_ns", "core_ghz_by_multiplies", "x_limit_call_first",
            "x_limit_copies_first")
# The figures whose point value, from method 4 on, is the mean of the
# repetitions with an interval over them.
REPLICATED = ("x_limit", "x_model", "call_ms")
# What a run's x_limit is measured against, where its context does not say.
OLD_LIMIT_DEFINITION = "the widening copy, one row"


class Unusable(Exception):
    """A results file the tools cannot use, and why, in one line."""


@dataclass(frozen=True)
class Run:
    path: str
    benchmarks: list
    context: dict
    version: int


@dataclass(frozen=True)
class Facts:
    """What the registry says of a variant."""
    kernel: str
    cores: str          # "one", "all"
    written_by: str     # "hand", "library", "compiler", "user"
    flow: str           # "reference", "words", "dwords", "bytes"
    stores: str         # "cached", "streaming"
    rows_per_pass: int
    isa: str            # "AVX2", "AVX-512BW", "NEON", ...


@dataclass(frozen=True)
class Copy:
    """What a memory copy is: the limit, or a pattern copy."""
    copy: str           # "limit", "three_rows", "row_pairs"
    stores: str
    cores: str


def load(path):
    """The run in the JSON file at path; Unusable if it is not the explorer's."""
    try:
        with open(path) as f:
            results = json.load(f)
    except OSError as error:
        raise Unusable(f"cannot read {path}: {error.strerror}")
    except (json.JSONDecodeError, UnicodeDecodeError) as error:
        raise Unusable(f"{path} is not JSON: {error}")
    benchmarks = results.get("benchmarks") if isinstance(results, dict) else None
    if not isinstance(benchmarks, list) or not benchmarks:
        raise Unusable(f"{path} has no benchmarks: give it the JSON of "
                       "mean4_explore --benchmark_out=FILE --benchmark_out_format=json")
    context = results.get("context") if isinstance(results.get("context"), dict) else {}
    run = Run(path, benchmarks, context, format_version(context, benchmarks))
    if method(run) > NEWEST_METHOD:
        raise Unusable(f"{path} was measured by method {method(run)}, whose figures these tools "
                       f"do not know (they know methods up to {NEWEST_METHOD}): update them")
    return run


def format_version(context, benchmarks):
    """The context's mean4_json_version; for runs from before it, 1 where the
    explorer paired its pattern copy (pattern_ms), else 0."""
    if "mean4_json_version" in context:
        try:
            return int(context["mean4_json_version"])
        except ValueError:
            raise Unusable(f"mean4_json_version {context['mean4_json_version']!r} is not a number")
    return 1 if any("pattern_ms" in b for b in benchmarks) else 0


def method(run):
    """What the run's figures mean: the context's mean4_method, or for runs
    from before it, the method of their format version."""
    if "mean4_method" in run.context:
        try:
            return int(run.context["mean4_method"])
        except ValueError:
            raise Unusable(f"mean4_method {run.context['mean4_method']!r} is not a number")
    return METHOD_OF_VERSION.get(min(run.version, max(METHOD_OF_VERSION)), 1)


def settled_within(run):
    """The tolerance a point's interval must be within to settle."""
    try:
        return float(run.context.get("settled_within", SETTLED_WITHIN))
    except ValueError:
        return SETTLED_WITHIN


def t_quantile(degrees_of_freedom, confidence=CONFIDENCE):
    """The t with P(|T| < t) = confidence for Student's distribution with this
    many degrees of freedom (a whole number, at least 1): bisection on the
    closed form of the distribution (Abramowitz and Stegun 26.7.3-4)."""
    nu = degrees_of_freedom

    def inside(theta):  # P(|T| < sqrt(nu) tan theta)
        s, c = math.sin(theta), math.cos(theta)
        term, total = 1.0, 1.0
        for j in range(1, (nu - 2) // 2 + 1 if nu % 2 == 0 else (nu - 3) // 2 + 1):
            term *= c * c * ((2 * j - 1) / (2 * j) if nu % 2 == 0 else 2 * j / (2 * j + 1))
            total += term
        if nu % 2 == 0:
            return s * total
        return 2 / math.pi * (theta + (s * c * total if nu > 1 else 0))

    low, high = 0.0, math.pi / 2
    for _ in range(60):
        mid = (low + high) / 2
        low, high = (mid, high) if inside(mid) < confidence else (low, mid)
    return math.sqrt(nu) * math.tan((low + high) / 2)


def mean_interval(values, confidence=CONFIDENCE):
    """(mean, low, high): Student's t interval of the mean of independent
    values; the mean and NaNs for fewer than two."""
    mean = statistics.fmean(values)
    if len(values) < 2:
        return mean, math.nan, math.nan
    half = t_quantile(len(values) - 1, confidence) * statistics.stdev(values) / math.sqrt(
        len(values))
    return mean, mean - half, mean + half


def benchmark_key(benchmark):
    """(variant or copy, side) for one of the explorer's benchmarks, else None.
    Google Benchmark puts its own settings into a name (iterations:1)."""
    parts = benchmark.get("run_name", benchmark.get("name", "")).removesuffix("/manual_time")
    parts = [part for part in parts.split("/") if ":" not in part]
    if len(parts) != 2 or not parts[1].isdigit():
        return None
    return parts[0], int(parts[1])


def measured(run):
    """(variant or copy, side) and the row, for each of the explorer's
    benchmarks that ran: repetitions and aggregates, not the errors."""
    for benchmark in run.benchmarks:
        key = benchmark_key(benchmark)
        if key is not None and not benchmark.get("error_occurred"):
            yield key, benchmark


def call_ms(benchmark):
    """A row's time per call, in milliseconds."""
    return benchmark["real_time"] * SCALE_TO_MS[benchmark["time_unit"]]


def label_fields(label):
    """{"vs": "limit_cached", "bound": "memory", "kernel": "avx2", ...} from a
    label "vs limit_cached, bound=memory, kernel=avx2, ..."."""
    fields = {}
    for part in filter(None, (p.strip() for p in label.split(","))):
        key, equals, value = part.partition("=")
        if equals:
            fields[key] = value
        elif part.startswith("vs "):
            fields["vs"] = part.removeprefix("vs ")
    return fields


# The naming rule of versions 0 and 1: <set>[_bytes][_2rows][_stream][_all_cores],
# with scalar, autovec, autovec_clang and hwy standing for themselves.
LEGACY_SETS = {"scalar": "x86-64", "sse41": "SSE4.1", "avx2": "AVX2", "avx512": "AVX-512BW",
               "neon": "NEON", "sve": "SVE", "sve2": "SVE2", "autovec": "AVX2",
               "autovec_clang": "AVX2", "hwy": "x86-64"}


def legacy_facts(name):
    """A variant's facts by the naming rule of versions 0 and 1."""
    kernel = name.removesuffix("_all_cores")
    first = "autovec_clang" if kernel.startswith("autovec_clang") else kernel.split("_")[0]
    written_by = {"autovec": "compiler", "autovec_clang": "compiler",
                  "hwy": "library"}.get(first, "hand")
    if first in ("scalar", "autovec", "autovec_clang"):
        flow = "reference"
    elif first == "hwy":
        flow = "dwords"
    else:
        flow = "bytes" if "_bytes" in kernel else "words"
    return Facts(kernel=kernel, cores="all" if name.endswith("_all_cores") else "one",
                 written_by=written_by, flow=flow,
                 stores="streaming" if "_stream" in kernel else "cached",
                 rows_per_pass=2 if "_2rows" in kernel else 1,
                 isa=LEGACY_SETS.get(first, first))


def legacy_copy(name):
    """A copy's facts by its name, in versions 0 and 1."""
    base = name.removesuffix("_all_cores").removesuffix("_3rows").removesuffix("_row_pairs")
    copy = ("three_rows" if name.endswith("_3rows") else
            "row_pairs" if name.endswith("_row_pairs") else "limit")
    return Copy(copy=copy, stores=base.removeprefix("limit_"),
                cores="all" if name.endswith("_all_cores") else "one")


def facts(run):
    """({variant: Facts}, {copy: Copy}) of every benchmark the run reports."""
    variants, copies = {}, {}
    for benchmark in run.benchmarks:
        key = benchmark_key(benchmark)
        if key is None:
            continue
        name = key[0]
        fields = label_fields(benchmark.get("label", ""))
        if run.version >= 2 and "kernel" in fields:
            variants[name] = Facts(kernel=fields["kernel"], cores=fields["cores"],
                                   written_by=fields["written_by"], flow=fields["flow"],
                                   stores=fields["stores"],
                                   rows_per_pass=int(fields["rows_per_pass"]), isa=fields["isa"])
        elif run.version >= 2 and "copy" in fields:
            copies[name] = Copy(copy=fields["copy"], stores=fields["stores"],
                                cores=fields["cores"])
        elif run.version < 2 and name.startswith("limit_"):
            copies[name] = legacy_copy(name)
        elif run.version < 2:
            variants[name] = legacy_facts(name)
    return variants, copies


def medians(run):
    """By (name, side): the median ms per call and of each counter, the limit
    it was measured against ("limit_streaming", ...) and what bounds it. From
    every repetition where the run kept them, else from its median
    aggregates. Version 0's model is rebuilt from its unpaired copies."""
    samples = defaultdict(lambda: defaultdict(list))
    aggregated, labels = {}, {}
    for key, benchmark in measured(run):
        # Some aggregates of older runs carry no label: keep the last one seen.
        labels[key] = label_fields(benchmark.get("label", "")) or labels.get(key, {})
        values = {"ms": call_ms(benchmark)}
        values.update({c: benchmark[c] for c in COUNTERS if c in benchmark})
        if benchmark.get("run_type") == "aggregate":
            if benchmark.get("aggregate_name") == "median":
                aggregated[key] = values
            continue
        for name, value in values.items():
            samples[key][name].append(value)
    if method(run) >= 4:
        results = {key: replicated(series, settled_within(run))
                   for key, series in samples.items()}
    else:
        results = {key: {name: across_repetitions(name)(v) for name, v in series.items()}
                   for key, series in samples.items()}
    for key, values in aggregated.items():
        results.setdefault(key, values)
    for key, values in results.items():
        values["limit"] = labels.get(key, {}).get("vs", "")
        values["bound"] = labels.get(key, {}).get("bound", "")
        values["limit_copy"] = labels.get(key, {}).get("limit_copy", "limit")
    if run.version == 0:
        rebuild_model(results)
    for values in results.values():
        if "memory_over_compute" in values:
            # The medians decide, not one repetition's label.
            values["bound"] = "memory" if values["memory_over_compute"] > 1 else "compute"
    return results


def across_repetitions(counter):
    """How a point's repetitions make its one value of a counter: the median,
    except that a point settled only where every repetition did; an
    unsettled point shows its widest repetition's half-width, the one that
    made it so; and an interval runs from the lowest repetition's low end to
    the highest's high end. The repetitions are a minute or more apart, so
    the interval takes in how the machine moved in between, which each
    repetition's own, from pairs seconds apart, cannot."""
    if counter == "stable":
        return min
    if counter == "x_limit_half_width" or counter.endswith("_hi"):
        return max
    if counter.endswith("_lo"):
        return min
    return statistics.median


def replicated(series, tolerance):
    """A point's values from its repetitions, each a replicate of the whole
    measurement on a placement of its own (method 4 on): x_limit, x_model
    and the time per call (ms, call_ms) are the repetitions' means, with
    Student's t interval over them as _lo and _hi, assuming the repetitions
    independent; the point settled where x_limit's half-width, as a share of
    it, is within the tolerance; every other counter is the repetitions'
    median. "repetitions" says how many there were."""
    values = {name: statistics.median(v) for name, v in series.items()}
    for name in REPLICATED:
        if name in series:
            values[name], values[name + "_lo"], values[name + "_hi"] = mean_interval(series[name])
    values["ms"] = values.get("call_ms", values["ms"])
    values["repetitions"] = len(series["ms"])
    if "x_limit" in series:
        half_width = (values["x_limit_hi"] - values["x_limit_lo"]) / 2 / values["x_limit"]
        values["x_limit_half_width"] = half_width
        values["stable"] = 1 if half_width <= tolerance else 0
    return values


def model_ms(compute_ms, pattern_ms):
    """The explorer's model: the higher of the two roofs."""
    return max(compute_ms, pattern_ms)


def rebuild_model(results):
    """Version 0 has no pattern_ms: the model from what such a run has, the
    compute roof and the three-row copy's own median (limit_*_3rows) as the
    memory roof of a one-core variant. Unpaired, so it drifts with the
    machine."""
    for (name, side), r in results.items():
        pattern = results.get((r["limit"] + "_3rows", side))
        if "compute_ms" not in r or name.endswith("_all_cores") or pattern is None:
            continue
        r["pattern_ms"] = pattern["ms"]
        r["model_ms"] = model_ms(r["compute_ms"], r["pattern_ms"])
        r["x_model"] = r["ms"] / r["model_ms"]
        r["memory_over_compute"] = r["pattern_ms"] / r["compute_ms"]
        r["recomputed"] = True


def skipped(run):
    """{variant: why} for every benchmark the run reported as an error."""
    out = {}
    for benchmark in run.benchmarks:
        if benchmark.get("error_occurred"):
            out[benchmark["name"].split("/")[0]] = benchmark.get("error_message", "")
    return out


def caches(run):
    """(name, bytes) of each data cache the run used: the explorer's own
    cache_L1d, cache_L2, ... ("49152 bytes, from sysconf"), leaving out a
    size it did not use or only assumed; in version 0, Google Benchmark's."""
    found = []
    if run.version == 0:
        for cache in run.context.get("caches", []):
            if cache.get("type") in ("Data", "Unified") and cache.get("size", 0) > 0:
                kind = "d" if cache.get("type") == "Data" else ""
                found.append((f"L{cache.get('level', '?')}{kind}", cache["size"]))
        return found
    for key, text in run.context.items():
        if (key.startswith("cache_") and isinstance(text, str) and "not used" not in text
                and "assumed" not in text):
            name = key.removeprefix("cache_")
            if not name.endswith("i") and text.split(" ")[0].isdigit():
                found.append((name, int(text.split(" ")[0])))
    return sorted(found)


def limit_definition(run):
    """What the run's limits are: its context's words from version 3 on;
    before, the one-row widening copy."""
    if run.version >= 3:
        return run.context.get("limit_definition", "unknown")
    return OLD_LIMIT_DEFINITION


def core_adds_per_ns(run):
    """By (variant, side): the median additions a nanosecond the core gave the
    explorer while it measured the point (version 4 on); {} for older runs,
    which did not probe it."""
    if run.version < 4:
        return {}
    return {key: values["core_adds_per_ns"] for key, values in medians(run).items()
            if "core_adds_per_ns" in values}


def processor(run):
    """The processor and build the run recorded (version 2 on), as a dict of
    the context's processor_*, virtual_machine, tsc_hz and build_* keys;
    None for older runs, which recorded none."""
    if run.version < 2:
        return None
    return {key: value for key, value in run.context.items()
            if key.startswith(("processor_", "build_")) or key in ("virtual_machine", "tsc_hz")}
