#!/bin/sh
# The link lays qeld's functions out in the order src/main/code_order.txt gives. Renamed or removed
# functions drop out of that order silently, costing start-up time: this fails once more than a
# tenth of the names are gone, asking for scripts/order-code.sh to be run again.
# Usage: code_order_check.sh QELD_BINARY ORDER_FILE
set -eu
binary=$1
order=$2
nm "$binary" | awk -v order="$order" -v binary="$binary" '
  { present[$3] = 1 }
  END {
    while ((getline name < order) > 0) {
      if (name ~ /^#/ || name == "") continue
      listed++
      if (!(name in present)) missing++
    }
    if (listed == 0) { print "code order: " order " names no function"; exit 1 }
    if (missing * 10 > listed) {
      printf "code order: %d of the %d functions in %s are no longer in %s: run scripts/order-code.sh\n", missing, listed, order, binary
      exit 1
    }
    printf "code order: %d of %d functions found\n", listed - missing, listed
  }'
