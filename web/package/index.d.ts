// Types of the `veltrane` package: converts real numerals between bases 2
// to 36 on the x87 80-bit extended type, every step truncating, as the
// `soft` build of veltrane-cli does. The module is ready once the import
// resolves; every function is synchronous.

/** A base from 2 to 36. Any other value throws a RangeError. */
export type Base = number;

/** The options of {@link convert} and {@link convertMany}. */
export interface ConvertOptions {
  /** The base the numeral is written in (a numeral's `@` suffix overrides it); 10 by default. */
  from?: Base;
  /** The base of the text; 16 by default. */
  to?: Base;
  /** Scientific notation; large and small values switch to it on their own. */
  scientific?: boolean;
  /** The round-trip text: the shortest that reads back as the same 80-bit value. */
  roundTrip?: boolean;
}

/** The options of {@link explain}. */
export interface ExplainOptions {
  from?: Base;
  to?: Base;
  scientific?: boolean;
}

/** What became of a numeral. */
export type Outcome =
  | 'converted'
  | 'overflow'
  | 'rejected'
  | 'empty'
  | 'too_long'
  | 'nul_byte'
  | 'no_value';

/** Why a numeral gave no value. */
export type NoValueOutcome = Exclude<Outcome, 'converted' | 'overflow'>;

/** The class of a stored 80-bit value. */
export type StoredClass = 'zero' | 'subnormal' | 'normal';

/** The `veltrane-cli --json` object of one numeral. */
export interface Explanation {
  /** The numeral without its surrounding blanks; null for one longer than {@link maxNumeralLength}. */
  numeral: string | null;
  /** The base it was read in (after its `@` suffix). */
  from: number;
  to: number;
  /** Exactly what {@link convert} returns, or "ERROR". */
  text: string;
  notation: 'standard' | 'scientific' | null;
  outcome: Outcome;
  /** The 80-bit image as 20 upper-case hex digits, sign and exponent first. */
  stored: string | null;
  class: StoredClass | null;
  /** The exact stored value in the output base, at most 1,100 significant digits. */
  exact: string | null;
  exact_complete: boolean | null;
  /** (value of text - stored value) / unit in the last place of the stored value. */
  ulps: number | null;
  reads_back: boolean | null;
  round_trip: string | null;
  /** Keys a later version may add. */
  [key: string]: unknown;
}

/** What one conversion found out ({@link convertDetails}). */
export interface Details {
  /** The text, "+INF"/"-INF" for an overflow, "ERROR" for a numeral that gives no value. */
  text: string;
  outcome: Outcome;
  notation: 'standard' | 'scientific' | null;
  /** The base the numeral was read in (its `@` suffix's, else `from`). */
  base: number;
  /** The 80-bit image, as in {@link Explanation.stored}; null without a value. */
  stored: string | null;
  class: StoredClass | null;
  /** For an overflow: +1 ("+INF") or -1 ("-INF"). */
  sign?: 1 | -1;
  /** The rule of the grammar broken, for a rejected numeral; else null. */
  rule: string | null;
  /** The 1-based column of the fault in the numeral without its blanks; null where none. */
  column: number | null;
  /** With `roundTrip`: whether the text is the round-trip text; else null. */
  roundTrip: boolean | null;
  /** What veltrane-cli writes about the numeral on standard error; "" when nothing. */
  message: string;
}

/** Thrown for a numeral that gives no value; its message is veltrane-cli's. */
export class NumeralError extends Error {
  /** The details default to a rejected '' in base 10 (rule 'rejected', column null). */
  constructor(message?: string, details?: {
    numeral?: string;
    outcome?: NoValueOutcome;
    rule?: string;
    column?: number | null;
    base?: number;
  });
  readonly name: 'NumeralError';
  /** The numeral as given. */
  readonly numeral: string;
  readonly outcome: NoValueOutcome;
  /** The rule broken (`'digit_too_large'`, `'second_point'`, ...), else the outcome. */
  readonly rule: string;
  /**
   * 1-based column of the fault, in UTF-8 bytes of the numeral without its
   * blanks; null where none.
   */
  readonly column: number | null;
  /** The base the numeral was read in (its `@` suffix's, else `from`). */
  readonly base: number;
}

/** The library's version, "1.0.0". */
export const version: string;

/** The digits in order of value, as the texts write them: "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ". */
export const digits: string;
/** The least and the greatest base: 2 and 36. */
export const minBase: number;
export const maxBase: number;
/** The longest numeral read, in UTF-8 bytes, blanks included; a longer one is 'too_long'. */
export const maxNumeralLength: number;

/**
 * The text veltrane-cli prints for the numeral: digits in base `to`, or
 * "+INF" / "-INF" for an overflow.
 * @throws {NumeralError} for a numeral that gives no value
 * @throws {RangeError} for a base that is not a whole number from 2 to 36
 * @throws {TypeError} for a numeral that is not a string
 */
export function convert(numeral: string, options?: ConvertOptions): string;

/**
 * {@link convert} for each numeral, in one pass through the module: the
 * texts in order, with null for each numeral that gives no value.
 * @throws {RangeError} for a bad base; {TypeError} for an element that is not a string
 */
export function convertMany(numerals: readonly string[], options?: ConvertOptions): (string | null)[];

/**
 * The `veltrane-cli --json` object of the numeral, also for one that gives
 * no value (its outcome says why).
 * @throws {RangeError} for a bad base; {TypeError} for a numeral that is not a string
 */
export function explain(numeral: string, options?: ExplainOptions): Explanation;

/**
 * What one conversion found out, without throwing for a numeral that gives
 * no value.
 * @throws {RangeError} for a bad base; {TypeError} for a numeral that is not a string
 */
export function convertDetails(numeral: string, options?: ConvertOptions): Details;

/**
 * A base read as the dialog reads its base boxes: the first 8 bytes, blanks
 * around them trimmed, a whole decimal number from 2 to 36; null when it is none.
 */
export function readBase(text: string): number | null;
