# Times fleet.yml on fleets of 20 and 100 simulated servers on this machine
# and prints the time per server of each and their ratio: with the work
# spread over the forks, a larger fleet should cost no more per server.
#
#   python3 bench.py [--forks N] [--sizes 20,100]
#
# Needs lxnicctl built (build/tools/lxnicctl/lxnicctl, or $LXNICCTL).
import argparse
import sys
import tempfile

from fleet import Fleet


def main():
    parser = argparse.ArgumentParser(description='Times fleet.yml on fleets of simulated servers.')
    parser.add_argument('--forks', type=int, default=10)
    parser.add_argument('--sizes', default='20,100', help='fleet sizes, the first is the baseline')
    options = parser.parse_args()
    sizes = [int(size) for size in options.sizes.split(',')]

    print('fleet.yml with %d forks: seconds per server' % options.forks)
    print('%8s  %10s  %10s  %14s  %14s' % ('servers', 'first run', 'second run', 'first/server', 'second/server'))
    per_server = {}
    for size in sizes:
        with tempfile.TemporaryDirectory(prefix='lxniccfg-fleet-') as root:
            fleet = Fleet(root, size)
            seconds = []
            for run in ('first', 'second'):
                rc, out, recap, elapsed = fleet.run(forks=options.forks)
                changed = sum(r[1] for r in recap.values())
                if rc != 0 or len(recap) != size or (run == 'second' and changed):
                    sys.stdout.write(out)
                    sys.exit('the %s run on %d servers did not succeed as expected' % (run, size))
                seconds.append(elapsed)
        per_server[size] = [s / size for s in seconds]
        print('%8d  %9.1fs  %9.1fs  %13.3fs  %13.3fs' % (size, seconds[0], seconds[1],
                                                          per_server[size][0], per_server[size][1]))
    base = sizes[0]
    for size in sizes[1:]:
        print('per-server time, %d servers / %d servers: first run %.2f, second run %.2f (target: at most 1.2)'
              % (size, base, per_server[size][0] / per_server[base][0], per_server[size][1] / per_server[base][1]))


if __name__ == '__main__':
    main()
