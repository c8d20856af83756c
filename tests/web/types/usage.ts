// Code written against the package's types, as a user writes it: checked by
// tsc --noEmit --strict in a project where the packed package is installed
// (tests/web/tarball.test.mjs). Each @ts-expect-error line must be an error,
// so types that grew too loose fail the check as well.
import {
  convert, convertDetails, convertMany, digits, explain, maxBase, maxNumeralLength, minBase,
  NumeralError, readBase,
  version,
} from 'veltrane';
import type { ConvertOptions, Details, Explanation, Outcome } from 'veltrane';

const options: ConvertOptions = { from: 10, to: 2, scientific: true, roundTrip: false };
export const text: string = convert('255', options);
export const plain: string = convert('255');
export const texts: (string | null)[] = convertMany(['1', '2'], { to: 10 });
const facts: Explanation = explain('0.1', { to: 10, scientific: false });
export const stored: string | null = facts.stored;
export const ulps: number | null = facts.ulps;
export const outcome: Outcome = facts.outcome;
const details: Details = convertDetails('12G', { from: 16 });
export const column: number | null = details.column;
export const base: number | null = readBase(' 16 ');
export const about: string = `${version} ${digits} ${minBase}..${maxBase} ${maxNumeralLength + 1}`;

export function ruleOf(numeral: string): string | null {
  try {
    convert(numeral, { from: 16 });
    return null;
  } catch (error) {
    if (!(error instanceof NumeralError)) throw error;
    const where: number | null = error.column;
    const read: number = error.base;
    const given: string = error.numeral;
    const why: 'rejected' | 'empty' | 'too_long' | 'nul_byte' | 'no_value' = error.outcome;
    return `${error.rule} ${where} ${read} ${given} ${why} ${error.message}`;
  }
}

export const made: NumeralError = new NumeralError('made by hand', { numeral: '12G', column: 3 });
export const bare: NumeralError = new NumeralError('made by hand');

// @ts-expect-error: a numeral is a string
convert(255);
// @ts-expect-error: there is no such option
convert('1', { base: 2 });
// @ts-expect-error: a batch may give null
export const sure: string[] = convertMany(['1']);
// @ts-expect-error: explain has no round-trip option
explain('1', { roundTrip: true });
// @ts-expect-error: the version is read-only
version = '2';
